#pragma once
// Reads and writes on a printer's device file (USB or parallel), opened
// non-blocking. Drivers differ in what poll() tells: the parallel port
// driver has no poll method, so poll() says "ready" at once while a
// non-blocking read or write still finds nothing to do; these loops then
// try again after a short sleep instead of spinning. Every wait looks at a
// cancel word, when there is one, at least every socketio::kCancelSliceMs.
// Linux's are in linux/DeviceIo.cpp; Windows's (overlapped transfers on the
// device's handle, behind a C runtime descriptor) in windows/DeviceIo.cpp.

#ifndef _WIN32
#include <poll.h>
#endif

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/UniqueFd.h"

namespace upkeep::deviceio {

// The first parallel port: its own name, and the raw DOS device name the
// service control defines for it on some systems, tried first when there
// is one.
#ifdef _WIN32
inline constexpr const char* kParallelPort = "\\\\.\\LPT1";
inline constexpr const char* kRawParallelPort = "\\\\.\\tavol1";
#else
inline constexpr const char* kParallelPort = "/dev/lp0";
inline constexpr const char* kRawParallelPort = "";
#endif

// Opens `path` for reading and writing, non-blocking, and keeps it only
// when it is a character device: a regular file, a directory or a pipe
// named as a printer is never written into. Checked on the opened
// descriptor, so nothing can be swapped in between.
platform::UniqueFd openCharDevice(const std::string& path);

// Writes every byte. Fails on an error, a write of nothing, a cancel, or
// when no byte could be written for `stallLimit` (nominal).
bool writeAll(int fd, const std::uint8_t* buffer, std::size_t length, platform::Millis stallLimit,
              const std::atomic<bool>* cancel);

// One read of what the device has, waiting at most `limit` (nominal) for
// it to have something. length is in-out; true with at least one byte.
bool readSome(int fd, std::uint8_t* buffer, std::size_t& length, platform::Millis limit,
              const std::atomic<bool>* cancel);

#ifndef _WIN32
// The poll() these loops call; tests put in one that behaves like a driver
// without a poll method (always "ready"). Null: the system's.
using PollFunction = int (*)(pollfd*, nfds_t, int);
void setPollFunction(PollFunction function);
#endif

}  // namespace upkeep::deviceio
