#pragma once
// One SNMPv1 GetRequest for two objects, sent over a printer connection on
// the management channel with the program-wide community.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/PortDescriptor.h"

namespace upkeep {

class SnmpQuery {
  public:
    // Values longer than the printer's 128-byte fields are cut to this.
    static constexpr std::size_t kValueLimit = 127;
    static constexpr std::size_t kMessageLimit = 256;
    static constexpr std::size_t kOidLimit = 128;

    explicit SnmpQuery(const PortDescriptor& descriptor) : descriptor_(descriptor) {}
    virtual ~SnmpQuery() = default;

    // True when a GetResponse with error-status 0 arrived. outA and outB are
    // emptied first; each then holds its object's text, or stays empty when
    // the response has no binding for it.
    bool query(std::string_view oidA, std::string_view oidB, std::string& outA, std::string& outB);

    // Why the last query failed: a printer that answered with an error
    // status is there, one that never answered may not be.
    enum class Failure { None, NoConnection, NoReply, Malformed, ErrorStatus };
    Failure lastFailure() const { return lastFailure_; }

  private:
    PortDescriptor descriptor_;
    Failure lastFailure_ = Failure::None;
};

namespace snmp {

using SubIds = std::vector<std::uint8_t>;

// Dotted text to sub-identifiers: each run up to the next "." read as a
// decimal number, modulo 256; at most 128 runs.
SubIds oidFromText(std::string_view text);

// The encoded GetRequest (request-id 0) for the two objects, or nothing
// when it cannot be built within 256 bytes.
std::optional<std::vector<std::uint8_t>> encodeGetRequest(const SubIds& a, const SubIds& b,
                                                          std::string_view community);

struct Binding {
    std::vector<unsigned long> oid;
    std::string value;  // content octets of an octet-string-like value
    bool isText = false;
};

struct Response {
    int pduType = 0;
    long errorStatus = 0;
    long requestId = 0;
    std::vector<Binding> bindings;
};

// Decodes an SNMPv1 message; nothing when it is not one.
std::optional<Response> decodeMessage(const std::uint8_t* data, std::size_t length);

// A value as the printers send it: two octets of any content ahead of the
// text. The rest up to the first NUL, cut to the limit; shorter: empty.
std::string valueText(std::string_view octets, std::size_t limit = SnmpQuery::kValueLimit);

// Whether the binding's OID is the first n sub-identifiers of the asked OID.
bool bindingMatches(const std::vector<unsigned long>& binding, const SubIds& asked);

// Reads the reply to a request for objects a and b: None, Malformed or
// ErrorStatus. outA and outB are emptied first and filled as query() does.
SnmpQuery::Failure readReply(const std::uint8_t* reply, std::size_t length, const SubIds& a,
                             const SubIds& b, std::string& outA, std::string& outB);

}  // namespace snmp
}  // namespace upkeep
