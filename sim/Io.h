#pragma once
// Waiting and writing on non-blocking descriptors, always also watching the
// stop descriptor so that shutdown is never held up by a peer.

#include <string_view>

namespace upkeep::sim {

// Writes all bytes; false when the peer went away or stop was signalled.
bool writeAll(int fd, std::string_view bytes, int stopFd);
bool setNonBlocking(int fd);
// True once the stop descriptor became readable.
bool stopRequested(int stopFd);

}  // namespace upkeep::sim
