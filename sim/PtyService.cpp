#include "PtyService.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "Io.h"
#include "Session.h"

namespace upkeep::sim {

Pty openPty(std::string& error) {
    Pty pty;
    pty.master.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.master.valid() || ::grantpt(pty.master.get()) != 0 ||
        ::unlockpt(pty.master.get()) != 0) {
        error = std::string("pty: ") + std::strerror(errno);
        pty.master.reset();
        return pty;
    }
    const char* name = ::ptsname(pty.master.get());
    if (!name) {
        error = std::string("pty: ") + std::strerror(errno);
        pty.master.reset();
        return pty;
    }
    pty.slavePath = name;
    // The slave's settings stay with the pty while the master is open, so
    // setting raw mode once holds for every later opening.
    Fd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios tio{};
    if (!slave.valid() || ::tcgetattr(slave.get(), &tio) != 0) {
        error = std::string("pty: ") + std::strerror(errno);
        pty.master.reset();
        return pty;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(slave.get(), TCSANOW, &tio);
    setNonBlocking(pty.master.get());
    return pty;
}

void servePty(int master, Printer& printer, const std::string& recordDir, int stopFd) {
    using SteadyClock = std::chrono::steady_clock;
    std::unique_ptr<Session> session;
    std::vector<char> buffer(64 * 1024);
    auto lastData = SteadyClock::now();
    while (!stopRequested(stopFd)) {
        // While no client has the slave open the master reports a hang-up
        // continuously, so that state is polled at a short interval.
        pollfd probe = {master, POLLIN, 0};
        ::poll(&probe, 1, 0);
        const bool hungUp = probe.revents & POLLHUP;
        const bool readable = probe.revents & POLLIN;
        if (readable) {
            const ssize_t n = ::read(master, buffer.data(), buffer.size());
            if (n > 0) {
                if (!session)
                    session = std::make_unique<Session>(printer, recordDir);
                lastData = SteadyClock::now();
                const std::string reply =
                    session->feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
                if (!reply.empty())
                    writeAll(master, reply, stopFd);
                continue;
            }
        }
        if (hungUp) {
            if (session) {
                session->finish();
                session.reset();
            }
            pollfd wait = {stopFd, POLLIN, 0};
            ::poll(&wait, 1, 10);
            continue;
        }
        if (!session)
            session = std::make_unique<Session>(printer, recordDir);
        int timeout = -1;
        const int idle = session->idleTimeoutMs();
        if (idle >= 0) {
            const auto quiet =
                std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - lastData)
                    .count();
            if (quiet >= idle) {
                const std::string reply = session->idle();
                if (!reply.empty())
                    writeAll(master, reply, stopFd);
                continue;
            }
            timeout = static_cast<int>(idle - quiet);
        }
        pollfd fds[2] = {{master, POLLIN, 0}, {stopFd, POLLIN, 0}};
        ::poll(fds, 2, timeout);
    }
}

}  // namespace upkeep::sim
