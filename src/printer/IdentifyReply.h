#pragma once
// The PJL jobs that identify a directly attached printer, and the parser of
// its IDENTIFY reply: model "," submodel... ";" version "," subversion...

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/FixedText.h"

namespace upkeep {

inline constexpr std::size_t kMaxSubsystems = 8;
using ValueText = FixedText<128>;

namespace pjl {
inline constexpr std::string_view kEchoJob = "\x1b%-12345X@PJL ECHO HELLO\r\n";
inline constexpr std::string_view kEchoReply = "@PJL ECHO HELLO";
inline constexpr std::string_view kIdentifyJob =
    "\x1b%-12345X@PJL ENTER LANGUAGE=UPGRADE\r\nIDENTIFY\r\n\x1b%-12345X@PJL EOJ";
inline constexpr std::size_t kReplyLimit = 1023;
}  // namespace pjl

struct IdentifyReply {
    ValueText model;
    ValueText version;
    std::array<ValueText, kMaxSubsystems> subsystemModels;
    std::array<ValueText, kMaxSubsystems> subsystemVersions;
    std::size_t subsystemCount = 0;
};

// Takes the reply apart within the bytes read. Values longer than a field
// are cut and subsystems beyond the eighth dropped; neither shifts the rest.
IdentifyReply parseIdentifyReply(const std::uint8_t* bytes, std::size_t length);

}  // namespace upkeep
