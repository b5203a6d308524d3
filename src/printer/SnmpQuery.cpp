#include "printer/SnmpQuery.h"

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/snmp_impl.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "connection/Connection.h"
#include "printer/Community.h"

namespace upkeep {
namespace snmp {
namespace {

// Debian's libsnmp is built without its own locking: every call into it
// goes through this one lock.
std::mutex& libraryMutex() {
    static std::mutex mutex;
    return mutex;
}

// The library would print its own error texts on stderr; the program
// reports failures in its own words.
void quietLibrary() {
    static const bool quiet = [] {
        snmp_disable_log();
        // With no handler at all the library falls back to stderr.
        netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
        return true;
    }();
    (void)quiet;
}

struct PduDeleter {
    void operator()(netsnmp_pdu* pdu) const { snmp_free_pdu(pdu); }
};
using PduPtr = std::unique_ptr<netsnmp_pdu, PduDeleter>;

std::vector<oid> toLibraryOid(const SubIds& ids) {
    return std::vector<oid>(ids.begin(), ids.end());
}

bool isTextType(u_char type) {
    switch (type) {
        case ASN_OCTET_STR:
        case ASN_OPAQUE:
        case ASN_IPADDRESS:
        case ASN_BIT_STR:
            return true;
        default:
            return false;
    }
}

}  // namespace

SubIds oidFromText(std::string_view text) {
    SubIds ids;
    if (text.empty())
        return ids;
    std::size_t start = 0;
    while (ids.size() < SnmpQuery::kOidLimit) {
        std::size_t dot = text.find('.', start);
        std::string_view run =
            text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        unsigned value = 0;
        // Read as a decimal number the way the C library does: digits up
        // to the first other character.
        for (char c : run) {
            if (c < '0' || c > '9')
                break;
            value = (value * 10 + static_cast<unsigned>(c - '0')) % 256;
        }
        ids.push_back(static_cast<std::uint8_t>(value));
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return ids;
}

std::optional<std::vector<std::uint8_t>> encodeGetRequest(const SubIds& a, const SubIds& b,
                                                          std::string_view communityText) {
    // An empty community is a legal one (an empty OCTET STRING) and is sent.
    if (a.empty() || b.empty())
        return std::nullopt;
    std::vector<oid> oidA = toLibraryOid(a);
    std::vector<oid> oidB = toLibraryOid(b);

    std::lock_guard lock(libraryMutex());
    quietLibrary();
    netsnmp_session session;
    snmp_sess_init(&session);
    session.version = SNMP_VERSION_1;
    std::string communityCopy(communityText);
    session.community = reinterpret_cast<u_char*>(communityCopy.data());
    session.community_len = communityCopy.size();

    PduPtr pdu(snmp_pdu_create(SNMP_MSG_GET));
    if (!pdu)
        return std::nullopt;
    pdu->version = SNMP_VERSION_1;
    pdu->reqid = 0;
    pdu->msgid = 0;
    pdu->errstat = 0;
    pdu->errindex = 0;
    // The PDU owns its community (snmp_free_pdu releases it); one byte at
    // least, since malloc(0) may give null for the empty community.
    pdu->community =
        static_cast<u_char*>(std::malloc(std::max<std::size_t>(communityCopy.size(), 1)));
    if (pdu->community == nullptr)
        return std::nullopt;
    std::memcpy(pdu->community, communityCopy.data(), communityCopy.size());
    pdu->community_len = communityCopy.size();
    if (snmp_add_null_var(pdu.get(), oidA.data(), oidA.size()) == nullptr)
        return std::nullopt;
    if (snmp_add_null_var(pdu.get(), oidB.data(), oidB.size()) == nullptr)
        return std::nullopt;
    pdu->flags |= UCD_MSG_FLAG_FORWARD_ENCODE;

    std::vector<std::uint8_t> message(SnmpQuery::kMessageLimit);
    u_char* packet = message.data();
    size_t packetLength = message.size();
    size_t offset = 0;
    if (snmp_build(&packet, &packetLength, &offset, &session, pdu.get()) != 0)
        return std::nullopt;
    // Forward encoding writes from the start of the buffer and reports the
    // length written in packetLength.
    if (packetLength == 0 || packetLength > SnmpQuery::kMessageLimit)
        return std::nullopt;
    message.resize(packetLength);
    return message;
}

std::optional<Response> decodeMessage(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr || length == 0)
        return std::nullopt;
    std::vector<u_char> copy(data, data + length);

    std::lock_guard lock(libraryMutex());
    quietLibrary();
    u_char communityBuffer[256];
    size_t communityLength = sizeof communityBuffer;
    long version = 0;
    size_t remaining = copy.size();
    u_char* pduData =
        snmp_comstr_parse(copy.data(), &remaining, communityBuffer, &communityLength, &version);
    if (pduData == nullptr)
        return std::nullopt;

    PduPtr pdu(static_cast<netsnmp_pdu*>(std::calloc(1, sizeof(netsnmp_pdu))));
    if (!pdu)
        return std::nullopt;
    pdu->version = version;
    if (snmp_pdu_parse(pdu.get(), pduData, &remaining) != 0)
        return std::nullopt;

    Response response;
    response.pduType = pdu->command;
    response.errorStatus = pdu->errstat;
    response.requestId = pdu->reqid;
    for (netsnmp_variable_list* var = pdu->variables; var != nullptr; var = var->next_variable) {
        Binding binding;
        binding.oid.assign(var->name, var->name + var->name_length);
        binding.isText = isTextType(var->type);
        if (binding.isText && var->val.string != nullptr) {
            binding.value.assign(reinterpret_cast<const char*>(var->val.string), var->val_len);
        }
        response.bindings.push_back(std::move(binding));
    }
    return response;
}

std::string valueText(std::string_view octets, std::size_t limit) {
    if (octets.size() < 2)
        return {};
    std::string_view text = octets.substr(2);
    std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    return std::string(text.substr(0, limit));
}

bool bindingMatches(const std::vector<unsigned long>& binding, const SubIds& asked) {
    if (binding.size() > asked.size())
        return false;
    for (std::size_t i = 0; i < binding.size(); ++i) {
        if (binding[i] != asked[i])
            return false;
    }
    return true;
}

SnmpQuery::Failure readReply(const std::uint8_t* reply, std::size_t length, const SubIds& a,
                             const SubIds& b, std::string& outA, std::string& outB) {
    outA.clear();
    outB.clear();
    std::optional<Response> response = decodeMessage(reply, length);
    if (!response || response->pduType != SNMP_MSG_RESPONSE)
        return SnmpQuery::Failure::Malformed;
    if (response->errorStatus != 0) {
        return SnmpQuery::Failure::ErrorStatus;
    }
    for (const Binding& binding : response->bindings) {
        std::string value = binding.isText ? valueText(binding.value) : std::string();
        if (bindingMatches(binding.oid, a)) {
            outA = std::move(value);
        } else if (bindingMatches(binding.oid, b)) {
            outB = std::move(value);
        }
    }
    return SnmpQuery::Failure::None;
}

}  // namespace snmp

bool SnmpQuery::query(std::string_view oidA, std::string_view oidB, std::string& outA,
                      std::string& outB) {
    outA.clear();
    outB.clear();
    lastFailure_ = Failure::NoConnection;
    PortDescriptor descriptor = descriptor_;
    descriptor.setChannel(channel::kManagement);
    std::unique_ptr<Connection> connection = createConnection(descriptor);
    if (!connection)
        return false;

    snmp::SubIds a = snmp::oidFromText(oidA);
    snmp::SubIds b = snmp::oidFromText(oidB);
    std::optional<std::vector<std::uint8_t>> request = snmp::encodeGetRequest(a, b, community());
    if (!request)
        return false;

    if (!connection->open())
        return false;
    lastFailure_ = Failure::NoReply;
    if (!connection->write(request->data(), request->size()))
        return false;
    std::uint8_t reply[kMessageLimit];
    std::size_t replyLength = sizeof reply;
    if (!connection->read(reply, replyLength))
        return false;
    connection.reset();

    lastFailure_ = snmp::readReply(reply, replyLength, a, b, outA, outB);
    return lastFailure_ == Failure::None;
}

}  // namespace upkeep
