#pragma once
// Files no other process can change: a private anonymous copy that, once
// sealed, stays as it was written, and the path an open file really has.

#include <optional>
#include <string>

#include "platform/UniqueFd.h"

namespace upkeep::platform {

// A new, empty private file for reading and writing (`name` for whoever
// looks); invalid when none could be made.
UniqueFd createPrivateFile(const char* name);
// Seals it: nobody, this process included, can change its bytes from now
// on. False when it could not be sealed.
bool sealPrivateFile(int fd);

// The full path of the open file, links resolved; none when the system
// cannot tell.
std::optional<std::string> pathOfOpenFile(int fd);

}  // namespace upkeep::platform
