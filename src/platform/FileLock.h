#pragma once
// An exclusive lock on an open file, held until the descriptor is closed
// (or the process ends): the lock other processes of ours take too.

namespace upkeep::platform {

enum class FileLock { Taken, Busy, Failed };

// Takes the lock; with wait, waits for it, else answers Busy while another
// holds it. errno says why on Failed.
FileLock lockFile(int fd, bool wait);

}  // namespace upkeep::platform
