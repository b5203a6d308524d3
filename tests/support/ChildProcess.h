#pragma once
// Chores shared by the harnesses that start a helper program for a test:
// a private directory, its files, a loopback address, and the child itself.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace upkeep::test {

// A fresh $TMPDIR/upkeep-NAME-XXXXXX (or under /tmp); empty on failure.
std::string makeTempDir(const std::string& name);
// Removes the directory and everything in it; nothing for "".
void removeTree(const std::string& path);
// The bytes of a file; empty when it cannot be read.
std::string readFile(const std::string& path);
// A random loopback address 127.0.x.y, so that tests running in parallel
// do not meet.
std::string randomLoopbackAddress();

// Starts argv[0] (a path) with stdin from /dev/null, stdout on `stdoutFd`
// (or the log), stderr on `logPath`, and `extraEnv` ("NAME=value") added.
// The child gets SIGTERM when the starting thread ends, so it never
// outlives a crashed test. -1 when fork fails.
pid_t spawn(const std::vector<std::string>& argv, const std::string& logPath, int stdoutFd = -1,
            const std::vector<std::string>& extraEnv = {});

// Polls (real time) until `ready` holds; false when the child ended first
// (then `pid` is -1) or `limit` passed.
bool waitUntilReady(pid_t& pid, const std::function<bool()>& ready,
                    std::chrono::milliseconds limit = std::chrono::seconds(5));

// SIGTERM, then wait (SIGKILL after 5 s). The exit status, or -1 when it
// did not exit normally; `pid` becomes -1.
int stopProcess(pid_t& pid);

}  // namespace upkeep::test
