#pragma once
// The send loop and the single bounded receive that the socket kinds share.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/Clock.h"

namespace upkeep::socketio {

// Waits for one readiness event within a nominal time; true when it came.
bool waitFor(int fd, short events, platform::Millis nominal);

// Sends every byte, waiting at most `perSend` (nominal) for room before a
// send; fails on a time-out, an error or a send of nothing. A peer that went
// away is a failed send, never a SIGPIPE.
bool sendAll(int fd, const std::uint8_t* buffer, std::size_t length, platform::Millis perSend);

// Ends the sending side of a stream and waits until the peer has
// acknowledged every byte and closed, or has acknowledged every byte and
// stayed silent for `settle` (nominal). A reset, an error, no progress of
// the acknowledgements for `stall` (nominal), or a cancel is a failure:
// bytes that only ever reached this side's buffers were not sent.
bool finishStream(int fd, platform::Millis stall, platform::Millis settle,
                  const std::atomic<bool>* cancel);

// One receive after waiting at most `limit` (nominal) for data; length is
// in-out. A stream whose peer closed reads as success with length 0.
bool receiveOnce(int fd, std::uint8_t* buffer, std::size_t& length, platform::Millis limit);

}  // namespace upkeep::socketio
