#include "DataService.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

#include "Io.h"
#include "Session.h"

namespace upkeep::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kChunk = 64 * 1024;

std::int64_t millisSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

// A stalled printer accepts and never reads; it only notices the peer
// leaving (or the simulator stopping).
void stall(int fd, int stopFd) {
    while (true) {
        pollfd fds[2] = {{fd, POLLRDHUP, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents || (fds[0].revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)))
            return;
    }
}

}  // namespace

void serveConnection(Fd connection, Printer& printer, const std::string& recordDir, int stopFd) {
    const int fd = connection.get();
    setNonBlocking(fd);
    Session session(printer, recordDir);
    const PrinterConfig& config = printer.config();
    if (config.data == DataMode::Stall) {
        stall(fd, stopFd);
        return;
    }

    std::vector<char> buffer(kChunk);
    std::uint64_t received = 0;
    double credit = 0;  // bytes a slow printer may read now
    auto tick = SteadyClock::now();
    auto lastData = tick;
    while (true) {
        std::size_t want = buffer.size();
        int timeout = -1;
        if (config.data == DataMode::CloseAfter || config.data == DataMode::HalfClose) {
            if (received >= config.dataLimit && config.data == DataMode::CloseAfter)
                break;  // the printer gives up mid-transfer
            if (received >= config.dataLimit) {
                // It ends its side and reads no more, but keeps the
                // connection: only its window tells the sender.
                ::shutdown(fd, SHUT_WR);
                stall(fd, stopFd);
                break;
            }
            want = static_cast<std::size_t>(
                std::min<std::uint64_t>(want, config.dataLimit - received));
        } else if (config.data == DataMode::Slow) {
            // A token bucket holding at most a tenth of a second's worth, so
            // that a pause does not buy a fast burst afterwards.
            const auto now = SteadyClock::now();
            const double rate = static_cast<double>(config.dataLimit);
            credit = std::min(credit + rate * std::chrono::duration<double>(now - tick).count(),
                              std::max(rate / 10, 1.0));
            tick = now;
            if (credit < 1) {
                want = 0;
                timeout = std::max(1, static_cast<int>((1 - credit) * 1000 / rate));
            } else {
                want = std::min(want, static_cast<std::size_t>(credit));
            }
        }
        const int idle = session.idleTimeoutMs();
        if (idle >= 0) {
            const auto left = std::max<std::int64_t>(0, idle - millisSince(lastData));
            timeout =
                timeout < 0 ? static_cast<int>(left) : std::min(timeout, static_cast<int>(left));
        }

        // While a slow printer has had its share, only time (or stop) counts.
        pollfd fds[2] = {{want ? fd : -1, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break;
        if (idle >= 0 && millisSince(lastData) >= idle) {
            if (!writeAll(fd, session.idle(), stopFd))
                break;
        }
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        if (want == 0)
            continue;
        const ssize_t n = ::recv(fd, buffer.data(), want, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            break;
        received += static_cast<std::uint64_t>(n);
        credit -= static_cast<double>(n);
        lastData = SteadyClock::now();
        const std::string reply =
            session.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        if (!reply.empty() && !writeAll(fd, reply, stopFd))
            break;
    }
    session.finish();
}

}  // namespace upkeep::sim
