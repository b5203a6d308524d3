#pragma once
// Who runs the program and where: the user's name and id, the computer's
// name, and random bytes for identifiers.

#include <cstddef>
#include <cstdint>
#include <string>

namespace upkeep::platform {

// The user's login name ("" when the system cannot say).
std::string userName();
// A text that tells this user from others on the computer (a user id).
std::string userIdText();
// The computer's name ("" when the system cannot say).
std::string hostName();
// Fills `bytes` from the system's random source; false when it failed.
bool randomBytes(std::uint8_t* bytes, std::size_t length);

}  // namespace upkeep::platform
