#pragma once
// DNS-SD: finds the host and port of a service instance that a printer
// announces on the network ("Meridot 4000" of type "_ipp._tcp" in "local").
// On Linux the Avahi daemon answers, through its client library.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Clock.h"

namespace upkeep::platform {

// A service instance, or with an empty type a host name of the mDNS domain
// ("labprinter.local"), whose address is looked up the same way.
struct ServiceInstance {
    std::string name;    // "Meridot 4000", or the host name
    std::string type;    // "_ipp._tcp"; empty for a host name
    std::string domain;  // "local"; empty for a host name
};

struct ResolvedService {
    std::string hostName;  // "meridot-4000.local"
    // Numeric, so that no second lookup is needed; an IPv6 link-local
    // address carries its interface ("fe80::1%eth0").
    std::string address;
    std::uint16_t port = 0;
};

struct Resolution {
    std::optional<ResolvedService> service;
    std::string problem;  // why there is none
};

class ServiceResolver {
  public:
    virtual ~ServiceResolver() = default;
    virtual Resolution resolve(const ServiceInstance& instance) const = 0;
};

// The system's resolver (linux/AvahiDnssdResolver.h); null where the
// system has none the program uses yet.
std::unique_ptr<ServiceResolver> systemServiceResolver();

}  // namespace upkeep::platform
