#pragma once
// The send loop, the finishing wait and the single bounded receive that the
// socket kinds share. Every wait here that a transfer can be left in looks
// at the transfer's cancel word at least every kCancelSliceMs.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/Clock.h"
#include "platform/Socket.h"

namespace upkeep::socketio {

// Real milliseconds between two looks at a cancel word while waiting.
inline constexpr int kCancelSliceMs = 50;

// Waits for one readiness event (platform::kReadable, ...) within a
// nominal time; true when it came.
// A set cancel word ends the wait early, as a time-out.
bool waitFor(platform::SocketHandle fd, int events, platform::Millis nominal,
             const std::atomic<bool>* cancel = nullptr);

// The receive window a stream's peer advertises, and the largest it
// advertised while it was looked at. Its kernel shrinks the window by what
// it holds unread and opens it again as its program reads; so once the peer
// has ended its side and reads no more, a window clearly below the largest
// means bytes its kernel acknowledged and its program never read. Where the
// kernel does not tell the window, nothing ever counts as unread.
class PeerWindow {
  public:
    // Looks at the window now.
    void note(platform::SocketHandle fd);
    // Whether the window is now clearly below the largest seen.
    bool shrunk(platform::SocketHandle fd);

  private:
    std::uint32_t largest_ = 0;
};

// Sends every byte, waiting at most `perSend` (nominal) for room before a
// send; fails on a time-out, an error, a send of nothing or a cancel, and
// with failOnPeerEnd when the peer ends its side while we wait for room. A
// peer that went away is a failed send, never a SIGPIPE. A window, when
// given, is looked at as the bytes go. A report, when given, is told while
// waiting for room how many bytes the peer has not acknowledged, the rest
// of this buffer counted as unacknowledged.
bool sendAll(platform::SocketHandle fd, const std::uint8_t* buffer, std::size_t length,
             platform::Millis perSend, const std::atomic<bool>* cancel = nullptr,
             bool failOnPeerEnd = false, PeerWindow* window = nullptr,
             const std::function<void(std::uint64_t)>* report = nullptr);

// Whether a stream's peer has ended its sending side (its FIN arrived).
// Nothing is read.
bool peerEnded(platform::SocketHandle fd);

// Written bytes (and the end mark) the peer has not acknowledged yet.
std::uint64_t unacknowledged(platform::SocketHandle fd);

struct FinishWait {
    // Also end this side (half-close) and wait for the peer's end, reading
    // and dropping whatever it says meanwhile. Without it nothing is read:
    // an answer stays for the caller.
    bool endStream = true;
    platform::Millis stall{60'000};   // no acknowledgement progress this long: failure
    platform::Millis settle{10'000};  // everything acknowledged, peer quiet this long: taken
    const std::atomic<bool>* cancel = nullptr;
    const std::function<void(std::uint64_t)>* report = nullptr;  // unacknowledged bytes
    // Looked at throughout; a peer that ended its side with its window
    // shrunk did not take everything. Null: acknowledgements alone decide.
    PeerWindow* window = nullptr;
};

// Waits until the peer has acknowledged every byte written, and with
// endStream, until it then closed or stayed silent for `settle`. Failures:
// a peer that ended its side before it took everything (it stopped reading:
// its kernel may have acknowledged bytes its program never read, so an end
// seen before the wait began counts too), a peer that ended its side with
// acknowledged bytes still unread (see PeerWindow), a reset or other error, no
// progress of the acknowledgements for `stall`, a cancel. Bytes that only
// ever reached this side's buffers were not sent.
bool finishStream(platform::SocketHandle fd, const FinishWait& wait);

// One receive after waiting at most `limit` (nominal) for data; length is
// in-out. A stream whose peer closed reads as success with length 0. A
// set cancel word ends the wait as a time-out.
bool receiveOnce(platform::SocketHandle fd, std::uint8_t* buffer, std::size_t& length,
                 platform::Millis limit, const std::atomic<bool>* cancel = nullptr);

}  // namespace upkeep::socketio
