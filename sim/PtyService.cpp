#include "PtyService.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "Io.h"
#include "Output.h"
#include "Session.h"

namespace upkeep::sim {

Pty openPty(std::string& error) {
    Pty pty;
    auto fail = [&](const char* what) {
        error = std::string("pty: ") + what + ": " + std::strerror(errno);
        pty.master.reset();
        return std::move(pty);
    };
    pty.master.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.master.valid() || ::grantpt(pty.master.get()) != 0 ||
        ::unlockpt(pty.master.get()) != 0)
        return fail("open");
    const char* name = ::ptsname(pty.master.get());
    if (!name)
        return fail("ptsname");
    pty.slavePath = name;
    // The simulator keeps the slave open itself: the settings stay for
    // every client, and replies no client read can be flushed.
    pty.slave.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    termios tio{};
    if (!pty.slave.valid() || ::tcgetattr(pty.slave.get(), &tio) != 0)
        return fail("slave");
    ::cfmakeraw(&tio);
    if (::tcsetattr(pty.slave.get(), TCSANOW, &tio) != 0)
        return fail("raw mode");
    // Opening and closing by clients is told by inotify, which keeps every
    // event in order even when a client closes and opens again at once.
    pty.notify.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!pty.notify.valid() || ::inotify_add_watch(pty.notify.get(), name, IN_OPEN | IN_CLOSE) < 0)
        return fail("inotify");
    setNonBlocking(pty.master.get());
    return pty;
}

namespace {

using SteadyClock = std::chrono::steady_clock;

class PtyLoop {
  public:
    PtyLoop(Pty& pty, Printer& printer, const std::string& recordDir, int stopFd)
        : pty_(pty), printer_(printer), recordDir_(recordDir), stopFd_(stopFd) {}

    void run() {
        // A device that takes nothing: its buffer is full from the start,
        // and nothing is ever read from it.
        const bool stalled = printer_.config().data == DataMode::Stall;
        if (stalled)
            fill();
        while (true) {
            int timeout = -1;
            if (session_) {
                const int idle = session_->idleTimeoutMs();
                if (idle >= 0) {
                    const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(
                                           SteadyClock::now() - lastData_)
                                           .count();
                    timeout = static_cast<int>(std::max<std::int64_t>(0, idle - quiet));
                    if (timeout == 0) {
                        reply(session_->idle());
                        continue;
                    }
                }
            }
            pollfd fds[3] = {{pty_.notify.get(), POLLIN, 0},
                             {stalled ? -1 : pty_.master.get(), POLLIN, 0},
                             {stopFd_, POLLIN, 0}};
            if (::poll(fds, 3, timeout) < 0 && errno != EINTR)
                break;
            if (fds[2].revents)
                break;
            if ((fds[0].revents | fds[1].revents) & POLLIN) {
                // Events are read again after the data: a client's opening is
                // queued before anything it writes, so every event that the
                // data read may depend on is known before the data is given out.
                readEvents();
                if (!stalled)
                    pending_ += drain();
                readEvents();
                handleEvents();
                if (session_ && !pending_.empty())
                    feed(take(pending_.size()));
            }
        }
        if (session_)
            session_->finish();
    }

  private:
    // Fills the device's buffer through the simulator's own end of it.
    void fill() {
        const std::string block(4096, '\0');
        while (::write(pty_.slave.get(), block.data(), block.size()) > 0) {
        }
    }

    void readEvents() {
        alignas(inotify_event) char buffer[4096];
        while (true) {
            const ssize_t n = ::read(pty_.notify.get(), buffer, sizeof buffer);
            if (n <= 0)
                return;
            for (ssize_t pos = 0; pos < n;) {
                inotify_event event;
                std::memcpy(&event, buffer + pos, sizeof event);
                events_.push_back(event.mask);
                pos += static_cast<ssize_t>(sizeof event + event.len);
            }
        }
    }

    void handleEvents() {
        while (!events_.empty()) {
            const std::uint32_t mask = events_.front();
            events_.pop_front();
            if (mask & IN_OPEN) {
                if (openers_++ == 0)
                    start();
            } else if (mask & IN_CLOSE) {
                if (openers_ > 0 && --openers_ == 0)
                    end();
            }
        }
    }

    void start() {
        session_ = std::make_unique<Session>(printer_, recordDir_);
        lastData_ = SteadyClock::now();
    }

    // The last client closed. What is still unread was written before the
    // close, unless another client has opened since; then the ending
    // connection keeps only what it still expects (a download's header
    // tells its size), and the rest waits for the next one.
    void end() {
        bool another = false;
        for (std::uint32_t mask : events_)
            another = another || (mask & IN_OPEN);
        while (another && !pending_.empty()) {
            if (auto expected = session_->expects()) {
                feed(take(std::min<std::uint64_t>(*expected, pending_.size())));
                break;
            }
            // Not known yet: give it what its header needs, a line at a time.
            const std::size_t lf = pending_.find('\n');
            feed(take(session_->decided() ? (lf == std::string::npos ? pending_.size() : lf + 1)
                                          : 1));
        }
        if (!another && !pending_.empty())
            feed(take(pending_.size()));
        session_->finish();
        session_.reset();
        // Replies nobody read must not reach the next client.
        ::tcflush(pty_.slave.get(), TCIFLUSH);
    }

    std::string take(std::size_t count) {
        std::string bytes = pending_.substr(0, count);
        pending_.erase(0, count);
        return bytes;
    }

    std::string drain() {
        std::string bytes;
        char buffer[64 * 1024];
        while (true) {
            const ssize_t n = ::read(pty_.master.get(), buffer, sizeof buffer);
            if (n > 0) {
                bytes.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            return bytes;
        }
    }

    void feed(const std::string& bytes) {
        lastData_ = SteadyClock::now();
        reply(session_->feed(bytes));
    }

    void reply(const std::string& bytes) {
        if (!bytes.empty())
            writeAll(pty_.master.get(), bytes, stopFd_);
    }

    Pty& pty_;
    Printer& printer_;
    const std::string& recordDir_;
    const int stopFd_;
    int openers_ = 0;
    std::deque<std::uint32_t> events_;
    std::unique_ptr<Session> session_;
    std::string pending_;  // read from the master, not yet given out
    SteadyClock::time_point lastData_ = SteadyClock::now();
};

}  // namespace

void servePty(Pty& pty, Printer& printer, const std::string& recordDir, int stopFd) {
    PtyLoop(pty, printer, recordDir, stopFd).run();
}

}  // namespace upkeep::sim
