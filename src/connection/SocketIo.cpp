#include "connection/SocketIo.h"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace upkeep::socketio {
namespace {

using platform::SocketError;
using platform::SocketHandle;

bool isCanceled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load();
}

// One wait of at most `limitMs`, and no longer than a cancel slice when
// there is a cancel word to look at. Returns waitReady's result.
int waitSlice(SocketHandle fd, int events, int limitMs, const std::atomic<bool>* cancel) {
    if (cancel)
        limitMs = std::min(limitMs, kCancelSliceMs);
    return platform::waitReady(fd, events, std::max(limitMs, 0));
}

// A peer that has ended its side with bytes of ours unread in its buffers.
bool endedUnread(SocketHandle fd, PeerWindow* window) {
    return window && peerEnded(fd) && window->shrunk(fd);
}

bool valid(SocketHandle fd) {
    return fd != platform::kNoSocket;
}

}  // namespace

void PeerWindow::note(SocketHandle fd) {
    largest_ = std::max(largest_, platform::advertisedWindow(fd));
}

bool PeerWindow::shrunk(SocketHandle fd) {
    const std::uint32_t now = platform::advertisedWindow(fd);
    largest_ = std::max(largest_, now);
    // Its kernel re-tunes the buffer's accounting as data comes in: a peer
    // that read everything may come back a little short of its largest
    // window (within 2% seen on loopback), while an unread remainder keeps
    // its whole size, with overheads, out of it.
    return now < largest_ - largest_ / 16;
}

namespace {

// Waits for `events` in slices short enough to see the cancel word,
// telling `meanwhile` after every slice that found nothing (a writer
// waiting for room: the peer may be acknowledging bytes all along).
template <typename Meanwhile>
bool waitForRoom(SocketHandle fd, int events, platform::Millis nominal,
                 const std::atomic<bool>* cancel, Meanwhile meanwhile) {
    platform::Deadline deadline(nominal);
    for (;;) {
        if (isCanceled(cancel))
            return false;
        const int ready = waitSlice(
            fd, events, std::min(static_cast<int>(deadline.remaining().count()), kCancelSliceMs),
            cancel);
        if (ready > 0)
            return (ready & (events | platform::kFailed)) != 0;
        if (ready < 0)
            return false;
        if (deadline.expired())
            return false;
        meanwhile();
    }
}

}  // namespace

bool waitFor(SocketHandle fd, int events, platform::Millis nominal,
             const std::atomic<bool>* cancel) {
    return waitForRoom(fd, events, nominal, cancel, [] {});
}

bool sendAll(SocketHandle fd, const std::uint8_t* buffer, std::size_t length,
             platform::Millis perSend, const std::atomic<bool>* cancel, bool failOnPeerEnd,
             PeerWindow* window, const std::function<void(std::uint64_t)>* report) {
    const int waitEvents = platform::kWritable | (failOnPeerEnd ? platform::kPeerEnd : 0);
    std::size_t sent = 0;
    bool mayBeFull = false;
    while (sent < length) {
        if (!valid(fd) || isCanceled(cancel))
            return false;
        if (window)
            window->note(fd);
        // Wait for room only when the last send found none: a socket with
        // room takes the block at once, without a readiness call per block.
        if (mayBeFull) {
            if (!waitForRoom(fd, waitEvents, perSend, cancel, [&] {
                    if (report)
                        (*report)(unacknowledged(fd) + (length - sent));
                }))
                return false;
            if (failOnPeerEnd && peerEnded(fd))
                return false;
        }
        const long n = platform::sendSome(fd, buffer + sent, length - sent);
        const SocketError error = n < 0 ? platform::lastSocketError() : SocketError::None;
        if (error == SocketError::Interrupted)
            continue;
        mayBeFull = error == SocketError::WouldBlock;
        if (mayBeFull)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool peerEnded(SocketHandle fd) {
    return platform::peerEnded(fd);
}

std::uint64_t unacknowledged(SocketHandle fd) {
    return platform::unacknowledgedBytes(fd).value_or(0);
}

bool finishStream(SocketHandle fd, const FinishWait& wait) {
    // A peer that ended its side before our last byte stopped taking data:
    // whatever its kernel acknowledged since, its program never read it.
    if (!valid(fd) || peerEnded(fd))
        return false;
    if (wait.endStream && !platform::shutdownSend(fd))
        return false;
    // After our own end, the end mark counts as one unacknowledged byte
    // where the system counts them; where it does not, nothing counts.
    const bool counted = platform::kTellsUnacknowledged;
    const int ownEnd = wait.endStream && counted ? 1 : 0;
    platform::Deadline stalled(wait.stall);
    std::optional<platform::Deadline> settling;
    std::int64_t lastQueued = -1;
    bool peerClosed = false;
    for (;;) {
        if (isCanceled(wait.cancel))
            return false;
        if (platform::pendingError(fd) != SocketError::None)
            return false;
        if (wait.window)
            wait.window->note(fd);
        std::int64_t queued = 0;
        if (counted) {
            std::optional<std::uint64_t> now = platform::unacknowledgedBytes(fd);
            if (!now)
                return false;
            queued = static_cast<std::int64_t>(*now);
        }
        if (wait.report && queued != lastQueued)
            (*wait.report)(static_cast<std::uint64_t>(std::max<std::int64_t>(queued - ownEnd, 0)));
        if (lastQueued < 0 || queued < lastQueued)
            stalled = platform::Deadline(wait.stall);
        lastQueued = queued;
        if (queued == 0) {
            // Acknowledged is not read: a peer that ended its side and
            // left bytes in its buffers stopped reading before them.
            if (peerClosed || !wait.endStream)
                return !endedUnread(fd, wait.window);
            if (!settling)
                settling.emplace(wait.settle);
            if (settling->expired())
                return true;
        } else if (stalled.expired()) {
            return false;
        }
        if (peerClosed) {
            // Its end acknowledged all it had received: data of ours still
            // unacknowledged was never taken.
            if (queued > ownEnd)
                return false;
            platform::pauseMs(kCancelSliceMs / 2);
            continue;
        }
        const int ready = platform::waitReady(
            fd, wait.endStream ? platform::kReadable : platform::kPeerEnd, kCancelSliceMs / 2);
        if (ready <= 0)
            continue;
        if (!wait.endStream) {
            // The answer is left for the caller; only the peer's end counts.
            peerClosed = (ready & platform::kPeerEnd) != 0;
            continue;
        }
        // Whatever the peer says meanwhile is not asked for; its end is.
        char discard[4096];
        const long n = platform::receiveSome(fd, discard, sizeof discard);
        if (n == 0) {
            peerClosed = true;
        } else if (n < 0) {
            const SocketError error = platform::lastSocketError();
            if (error != SocketError::Interrupted && error != SocketError::WouldBlock)
                return false;
        }
    }
}

bool receiveOnce(SocketHandle fd, std::uint8_t* buffer, std::size_t& length, platform::Millis limit,
                 const std::atomic<bool>* cancel) {
    if (!valid(fd) || buffer == nullptr)
        return false;
    if (!waitFor(fd, platform::kReadable, limit, cancel))
        return false;
    long n;
    do {
        n = platform::receiveSome(fd, buffer, length);
    } while (n < 0 && platform::lastSocketError() == SocketError::Interrupted);
    if (n < 0)
        return false;
    length = static_cast<std::size_t>(n);
    return true;
}

}  // namespace upkeep::socketio
