#pragma once
// A minimal BER codec, just what an SNMPv1 agent needs. The simulator has
// its own so that it shares no codec fault with the program it tests, and
// so that it can build deliberately broken messages.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace upkeep::sim::ber {

constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kOctetString = 0x04;
constexpr std::uint8_t kNull = 0x05;
constexpr std::uint8_t kOid = 0x06;
constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kGetRequest = 0xA0;
constexpr std::uint8_t kGetNextRequest = 0xA1;
constexpr std::uint8_t kGetResponse = 0xA2;

struct Tlv {
    std::uint8_t tag = 0;
    std::string_view content;
    std::string_view whole;  // tag, length and content
};

// Reads TLVs one after the other from a byte range; every length is checked
// against what is left, so a hostile message cannot lead past its end.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}
    std::optional<Tlv> next();
    bool atEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

std::optional<std::int64_t> decodeInteger(std::string_view content);
// Dotted text ("1.3.6.1...") of an OID's content octets.
std::optional<std::string> decodeOid(std::string_view content);

std::string encodeLength(std::size_t length);
std::string encode(std::uint8_t tag, std::string_view content);
std::string encodeInteger(std::int64_t value);
// nullopt for text that is not a dotted OID of at least two arcs.
std::optional<std::string> encodeOid(std::string_view dotted);

}  // namespace upkeep::sim::ber
