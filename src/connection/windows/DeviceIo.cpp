// Device files on Windows: a USB printer's interface path, or the first
// parallel port's DOS device name. Every transfer is overlapped, so the
// caller's thread waits for it in slices, looks at the cancel word between
// them, and cancels the transfer (and waits for that) when its limit has
// passed: the same result as a bounded wait on a device thread, with no
// thread to abandon. The communication time-outs of a port are set to a
// millisecond, so the port driver ends a write with what the printer took
// and a read with what it had, and these loops judge progress themselves.
#include <fcntl.h>
#include <io.h>
#include <winsock2.h>
// (winsock2.h before windows.h, which would bring the old one)
#include <windows.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <type_traits>

#include "connection/DeviceIo.h"
#include "connection/SocketIo.h"

namespace upkeep::deviceio {
namespace {

// Real milliseconds between two tries when the device took or gave nothing.
constexpr int kRetryMs = 10;

struct HandleClose {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Event = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose>;

std::wstring widen(const std::string& text) {
    if (text.empty())
        return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              size);
    return out;
}

bool isCanceled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load();
}

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

void pause(const platform::Deadline& deadline) {
    const auto left = std::min<long long>(deadline.remaining().count(), kRetryMs);
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(left));
}

enum class Transfer { Read, Write };

// One overlapped transfer, waited for until the deadline or the cancel
// word. False when it failed, ran out of time or was canceled; `done` is
// what it moved (a transfer ended by its cancel may still have moved some).
bool transfer(HANDLE device, Transfer kind, void* buffer, std::size_t length,
              const platform::Deadline& deadline, const std::atomic<bool>* cancel,
              std::size_t& done) {
    done = 0;
    Event event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
    const BOOL started = kind == Transfer::Read
                             ? ::ReadFile(device, buffer, asked, nullptr, &overlapped)
                             : ::WriteFile(device, buffer, asked, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return false;
    bool ended = false;
    while (!ended) {
        if (isCanceled(cancel) || deadline.expired())
            break;
        const auto slice =
            std::min<long long>(deadline.remaining().count(), socketio::kCancelSliceMs);
        const DWORD waited =
            ::WaitForSingleObject(event.get(), static_cast<DWORD>(std::max<long long>(slice, 0)));
        if (waited == WAIT_FAILED)
            break;
        ended = waited == WAIT_OBJECT_0;
    }
    if (!ended)
        ::CancelIoEx(device, &overlapped);
    // Waits for a canceled transfer too: the buffer and the record are ours
    // until the driver lets go of them.
    DWORD moved = 0;
    const BOOL finished = ::GetOverlappedResult(device, &overlapped, &moved, TRUE);
    done = moved;
    return finished && ended;
}

}  // namespace

platform::UniqueFd openCharDevice(const std::string& path) {
    const std::wstring name = widen(path);
    if (name.empty())
        return {};
    HANDLE device =
        ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return {};
    // A file on a disk or a pipe named as a printer is never written into.
    const DWORD type = ::GetFileType(device);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        ::CloseHandle(device);
        return {};
    }
    COMMTIMEOUTS timeouts{};
    if (::GetCommTimeouts(device, &timeouts)) {
        timeouts.ReadIntervalTimeout = 1;
        timeouts.ReadTotalTimeoutMultiplier = 1;
        timeouts.ReadTotalTimeoutConstant = 1;
        timeouts.WriteTotalTimeoutMultiplier = 1;
        timeouts.WriteTotalTimeoutConstant = 1;
        ::SetCommTimeouts(device, &timeouts);
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(device), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(device);
        return {};
    }
    return platform::UniqueFd(fd);
}

bool writeAll(int fd, const std::uint8_t* buffer, std::size_t length, platform::Millis stallLimit,
              const std::atomic<bool>* cancel) {
    const HANDLE device = handleOf(fd);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    platform::Deadline stalled(stallLimit);
    std::size_t done = 0;
    while (done < length) {
        if (isCanceled(cancel) || stalled.expired())
            return false;
        std::size_t moved = 0;
        const bool finished =
            transfer(device, Transfer::Write, const_cast<std::uint8_t*>(buffer + done),
                     length - done, stalled, cancel, moved);
        done += moved;
        if (moved > 0) {
            stalled = platform::Deadline(stallLimit);
            continue;
        }
        if (!finished)
            return false;
        pause(stalled);  // the port's time-out ended a write the printer took nothing of
    }
    return true;
}

bool readSome(int fd, std::uint8_t* buffer, std::size_t& length, platform::Millis limit,
              const std::atomic<bool>* cancel) {
    const std::size_t capacity = length;
    length = 0;
    const HANDLE device = handleOf(fd);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    platform::Deadline deadline(limit);
    for (;;) {
        if (isCanceled(cancel) || deadline.expired())
            return false;
        std::size_t moved = 0;
        const bool finished =
            transfer(device, Transfer::Read, buffer, capacity, deadline, cancel, moved);
        if (moved > 0) {
            length = moved;
            return true;
        }
        if (!finished)
            return false;
        pause(deadline);  // nothing yet: the port's time-out ended the read
    }
}

}  // namespace upkeep::deviceio
