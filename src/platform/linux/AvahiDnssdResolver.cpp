#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <net/if.h>

#include <algorithm>
#include <memory>

#include "platform/linux/AvahiDnssdResolver.h"

namespace upkeep::platform {
namespace {

struct PollFree {
    void operator()(AvahiSimplePoll* poll) const { avahi_simple_poll_free(poll); }
};
struct ClientFree {
    void operator()(AvahiClient* client) const { avahi_client_free(client); }
};
struct ResolverFree {
    void operator()(AvahiServiceResolver* resolver) const { avahi_service_resolver_free(resolver); }
};
struct HostResolverFree {
    void operator()(AvahiHostNameResolver* resolver) const {
        avahi_host_name_resolver_free(resolver);
    }
};

struct Pending {
    Resolution result;
    bool done = false;
};

std::string avahiProblem(int error) {
    return std::string("DNS-SD (Avahi): ") + avahi_strerror(error);
}

// An IPv6 link-local address means nothing without its interface.
std::string addressText(const AvahiAddress& address, AvahiIfIndex interface) {
    char text[AVAHI_ADDRESS_STR_MAX] = {};
    avahi_address_snprint(text, sizeof text, &address);
    std::string out = text;
    bool linkLocal = address.proto == AVAHI_PROTO_INET6 && address.data.ipv6.address[0] == 0xfe &&
                     (address.data.ipv6.address[1] & 0xc0) == 0x80;
    char name[IF_NAMESIZE] = {};
    if (linkLocal && interface >= 0 && if_indextoname(static_cast<unsigned>(interface), name))
        out += std::string("%") + name;
    return out;
}

void onClient(AvahiClient* client, AvahiClientState state, void* data) {
    auto* pending = static_cast<Pending*>(data);
    if (state == AVAHI_CLIENT_FAILURE && !pending->done) {
        pending->result.problem = avahiProblem(avahi_client_errno(client));
        pending->done = true;
    }
}

void onResolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol,
                AvahiResolverEvent event, const char*, const char*, const char*,
                const char* hostName, const AvahiAddress* address, uint16_t port, AvahiStringList*,
                AvahiLookupResultFlags, void* data) {
    auto* pending = static_cast<Pending*>(data);
    if (pending->done)
        return;
    pending->done = true;
    if (event == AVAHI_RESOLVER_FOUND && address != nullptr) {
        pending->result.service =
            ResolvedService{hostName ? hostName : "", addressText(*address, interface), port};
        return;
    }
    pending->result.problem =
        avahiProblem(avahi_client_errno(avahi_service_resolver_get_client(resolver)));
}

void onHostResolved(AvahiHostNameResolver* resolver, AvahiIfIndex interface, AvahiProtocol,
                    AvahiResolverEvent event, const char* hostName, const AvahiAddress* address,
                    AvahiLookupResultFlags, void* data) {
    auto* pending = static_cast<Pending*>(data);
    if (pending->done)
        return;
    pending->done = true;
    if (event == AVAHI_RESOLVER_FOUND && address != nullptr) {
        pending->result.service =
            ResolvedService{hostName ? hostName : "", addressText(*address, interface), 0};
        return;
    }
    pending->result.problem =
        avahiProblem(avahi_client_errno(avahi_host_name_resolver_get_client(resolver)));
}

}  // namespace

Resolution AvahiDnssdResolver::resolve(const ServiceInstance& instance) const {
    Deadline deadline(kTimeLimit);
    std::unique_ptr<AvahiSimplePoll, PollFree> poll(avahi_simple_poll_new());
    if (!poll)
        return {std::nullopt, avahiProblem(AVAHI_ERR_NO_MEMORY)};
    Pending pending;
    int error = 0;
    std::unique_ptr<AvahiClient, ClientFree> client(avahi_client_new(
        avahi_simple_poll_get(poll.get()), AvahiClientFlags(0), onClient, &pending, &error));
    if (!client)
        return {std::nullopt, avahiProblem(error)};
    if (pending.done)
        return pending.result;
    std::unique_ptr<AvahiServiceResolver, ResolverFree> resolver;
    std::unique_ptr<AvahiHostNameResolver, HostResolverFree> hostResolver;
    if (instance.type.empty()) {
        hostResolver.reset(avahi_host_name_resolver_new(
            client.get(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, instance.name.c_str(),
            AVAHI_PROTO_UNSPEC, AvahiLookupFlags(0), onHostResolved, &pending));
    } else {
        resolver.reset(avahi_service_resolver_new(client.get(), AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                  instance.name.c_str(), instance.type.c_str(),
                                                  instance.domain.c_str(), AVAHI_PROTO_UNSPEC,
                                                  AvahiLookupFlags(0), onResolved, &pending));
    }
    if (!resolver && !hostResolver)
        return {std::nullopt, avahiProblem(avahi_client_errno(client.get()))};
    while (!pending.done) {
        if (deadline.expired())
            return {std::nullopt, avahiProblem(AVAHI_ERR_TIMEOUT)};
        // Short turns, so that the deadline is looked at even when nothing happens.
        int wait = static_cast<int>(std::min<long long>(deadline.remaining().count(), 50));
        if (avahi_simple_poll_iterate(poll.get(), wait) < 0)
            return {std::nullopt, avahiProblem(AVAHI_ERR_FAILURE)};
    }
    return pending.result;
}

std::unique_ptr<ServiceResolver> systemServiceResolver() {
    return std::make_unique<AvahiDnssdResolver>();
}

}  // namespace upkeep::platform
