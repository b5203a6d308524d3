// Windows has no per-process limit on sockets and handles that the program
// could raise or would meet first: the system's memory bounds them.
#include "platform/Descriptors.h"

#include <cstddef>

namespace upkeep::platform {

void raiseDescriptorLimit() {}

std::size_t freeDescriptors() {
    return static_cast<std::size_t>(-1);
}

}  // namespace upkeep::platform
