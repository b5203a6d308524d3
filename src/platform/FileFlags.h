#pragma once
// How the program opens the files it reads. On Linux: not inherited by
// child processes, never adopted as a controlling terminal, and, for a
// file whose type is checked before it is read, opened without waiting so
// that a FIFO cannot hold the open up. Windows has neither terminals to
// adopt nor FIFOs in the file system: binary mode, not inherited.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#ifdef _WIN32
#include <io.h>
#endif

namespace upkeep::platform {

#ifdef _WIN32
inline constexpr int kOpenRead = O_RDONLY | O_BINARY | O_NOINHERIT;
inline constexpr int kOpenReadNoWait = kOpenRead;
// Appending, made when missing.
inline constexpr int kOpenForAppend = O_RDWR | O_CREAT | O_APPEND | O_BINARY | O_NOINHERIT;
#else
inline constexpr int kOpenRead = O_RDONLY | O_CLOEXEC | O_NOCTTY;
inline constexpr int kOpenReadNoWait = kOpenRead | O_NONBLOCK;
inline constexpr int kOpenForAppend =
    O_RDWR | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
#endif

// Reads of a descriptor opened with kOpenReadNoWait wait again.
inline void waitOnReads([[maybe_unused]] int fd) {
#ifndef _WIN32
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
}

// One read at `offset`: bytes read, or -1.
inline long readAt(int fd, void* buffer, std::size_t length, std::int64_t offset) {
#ifdef _WIN32
    // No positioned read in the C run-time: the position is ours to move.
    if (::_lseeki64(fd, offset, SEEK_SET) != offset)
        return -1;
    return ::_read(fd, buffer, static_cast<unsigned>(length));
#else
    return ::pread(fd, buffer, length, offset);
#endif
}

}  // namespace upkeep::platform
