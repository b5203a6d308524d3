#pragma once
// The process's file descriptors: the limit raised as far as it may go,
// what is left of it, and whether an open ever failed for want of one.
// Running out is the tool's failure, never a printer's state: a printer
// whose socket could not be made was never asked.

#include <cstddef>

namespace upkeep::platform {

// Raises the soft limit on open descriptors to the hard limit.
void raiseDescriptorLimit();

// How many more descriptors the process may open now.
std::size_t freeDescriptors();

// Records an open that failed with `error` when it means the process or the
// system ran out of descriptors or buffers; other errors are left alone.
void noteOpenFailure(int error);

// The first such error seen, or 0.
int resourceShortage();
// For tests: forgets it.
void clearResourceShortage();

}  // namespace upkeep::platform
