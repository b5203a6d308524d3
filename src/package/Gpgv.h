#pragma once
// The signature checker, run as a child process: gpgv with the trusted
// keyrings only, its status lines read from a descriptor of its own.

#include <cstddef>
#include <string>
#include <vector>

namespace upkeep {

struct GpgvRun {
    bool started = false;
    std::string problem;  // why it did not start, when it did not
    std::string status;   // its status lines, at most the limit asked
    int exitCode = -1;
};

// Checks `signature` over the bytes readable from listFd.
GpgvRun runGpgvProcess(const std::string& signature, int listFd,
                       const std::vector<std::string>& keyrings, std::size_t statusLimit);

}  // namespace upkeep
