#include "RawClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace upkeep::test::raw {

namespace {

std::string tlv(std::uint8_t tag, const std::string& content) {
    std::string out(1, static_cast<char>(tag));
    if (content.size() < 128) {
        out += static_cast<char>(content.size());
    } else {
        out += static_cast<char>(0x82);
        out += static_cast<char>(content.size() >> 8);
        out += static_cast<char>(content.size() & 0xFF);
    }
    return out + content;
}

std::string integer(std::int64_t v) {
    std::string content;
    for (int i = 3; i >= 0; --i)
        content += static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xFF);
    return tlv(0x02, content);
}

std::string oid(const std::string& dotted) {
    std::vector<unsigned> arcs;
    unsigned value = 0;
    for (char c : dotted + ".") {
        if (c == '.') {
            arcs.push_back(value);
            value = 0;
        } else {
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
    }
    std::string content(1, static_cast<char>(arcs[0] * 40 + arcs[1]));
    for (std::size_t i = 2; i < arcs.size(); ++i) {
        std::string chunk(1, static_cast<char>(arcs[i] & 0x7F));
        for (unsigned a = arcs[i] >> 7; a; a >>= 7)
            chunk.insert(chunk.begin(), static_cast<char>(0x80 | (a & 0x7F)));
        content += chunk;
    }
    return tlv(0x06, content);
}

struct Cursor {
    const std::string& bytes;
    std::size_t pos;
    std::size_t end;

    bool next(std::uint8_t& tag, std::size_t& start, std::size_t& length) {
        if (end - pos < 2)
            return false;
        tag = static_cast<std::uint8_t>(bytes[pos]);
        std::size_t p = pos + 1;
        length = static_cast<std::uint8_t>(bytes[p++]);
        if (length & 0x80) {
            const std::size_t n = length & 0x7F;
            if (n > 2 || end - p < n)
                return false;
            length = 0;
            for (std::size_t i = 0; i < n; ++i)
                length = (length << 8) | static_cast<std::uint8_t>(bytes[p++]);
        }
        if (end - p < length)
            return false;
        start = p;
        pos = p + length;
        return true;
    }
};

std::int64_t toInteger(const std::string& bytes, std::size_t start, std::size_t length) {
    std::int64_t v = length && (static_cast<std::uint8_t>(bytes[start]) & 0x80) ? -1 : 0;
    for (std::size_t i = 0; i < length; ++i)
        v = static_cast<std::int64_t>(static_cast<std::uint64_t>(v) << 8) |
            static_cast<std::uint8_t>(bytes[start + i]);
    return v;
}

std::string toOid(const std::string& bytes, std::size_t start, std::size_t length) {
    if (length == 0)
        return {};
    const auto first = static_cast<std::uint8_t>(bytes[start]);
    std::string text = std::to_string(first / 40) + "." + std::to_string(first % 40);
    unsigned value = 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[start + i]);
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80)) {
            text += "." + std::to_string(value);
            value = 0;
        }
    }
    return text;
}

void decode(SnmpReply& reply) {
    const std::string& b = reply.bytes;
    std::uint8_t tag;
    std::size_t start, length;
    Cursor message{b, 0, b.size()};
    if (!message.next(tag, start, length) || tag != 0x30)
        return;
    Cursor fields{b, start, start + length};
    if (!fields.next(tag, start, length) || tag != 0x02)  // version
        return;
    if (!fields.next(tag, start, length) || tag != 0x04)  // community
        return;
    if (!fields.next(tag, start, length))
        return;
    reply.pduType = tag;
    Cursor pdu{b, start, start + length};
    std::int64_t* targets[] = {&reply.requestId, &reply.errorStatus, &reply.errorIndex};
    for (std::int64_t* target : targets) {
        if (!pdu.next(tag, start, length) || tag != 0x02)
            return;
        *target = toInteger(b, start, length);
    }
    if (!pdu.next(tag, start, length) || tag != 0x30)
        return;
    Cursor list{b, start, start + length};
    while (list.pos < list.end) {
        if (!list.next(tag, start, length) || tag != 0x30)
            return;
        Cursor binding{b, start, start + length};
        SnmpBinding out;
        if (!binding.next(tag, start, length) || tag != 0x06)
            return;
        out.oid = toOid(b, start, length);
        if (!binding.next(tag, start, length))
            return;
        out.type = tag;
        out.value = b.substr(start, length);
        reply.bindings.push_back(out);
    }
    reply.decoded = true;
}

sockaddr_in socketAddress(const std::string& address, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    return addr;
}

}  // namespace

std::string getRequest(const std::string& community, std::int64_t requestId,
                       const std::vector<std::string>& oids) {
    std::string bindings;
    for (const std::string& o : oids)
        bindings += tlv(0x30, oid(o) + tlv(0x05, ""));
    const std::string pdu =
        tlv(0xA0, integer(requestId) + integer(0) + integer(0) + tlv(0x30, bindings));
    return tlv(0x30, integer(0) + tlv(0x04, community) + pdu);
}

std::optional<std::string> udpExchange(const std::string& address, const std::string& datagram,
                                       std::chrono::milliseconds wait) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    const sockaddr_in addr = socketAddress(address, 161);
    std::optional<std::string> reply;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, datagram.data(), datagram.size(), 0) == static_cast<ssize_t>(datagram.size())) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(wait.count())) > 0) {
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n >= 0)
                reply.emplace(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return reply;
}

SnmpReply decodeReply(std::string bytes) {
    SnmpReply reply;
    reply.bytes = std::move(bytes);
    decode(reply);
    return reply;
}

std::optional<SnmpReply> snmpGet(const std::string& address, const std::string& community,
                                 const std::vector<std::string>& oids, std::int64_t requestId,
                                 std::chrono::milliseconds wait) {
    auto bytes = udpExchange(address, getRequest(community, requestId, oids), wait);
    if (!bytes)
        return std::nullopt;
    return decodeReply(std::move(*bytes));
}

std::string tcpExchange(const std::string& address, const std::string& data,
                        std::size_t expectedSize, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in addr = socketAddress(address, 9100);
    std::string answer;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, data.data(), data.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(data.size())) {
        const auto deadline =
            Clock::now() + (expectedSize ? limit : std::chrono::milliseconds(150));
        while (true) {
            int wait = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count());
            if (expectedSize && answer.size() >= expectedSize)
                wait = 20;  // only surplus now
            if (wait <= 0)
                break;
            pollfd p = {fd, POLLIN, 0};
            if (::poll(&p, 1, wait) <= 0)
                break;
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            answer.append(buffer, static_cast<std::size_t>(n));
        }
    }
    if (fd >= 0)
        ::close(fd);
    return answer;
}

bool tcpSend(const std::string& address, const std::string& data) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in addr = socketAddress(address, 9100);
    bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    std::size_t sent = 0;
    while (ok && sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            sent += static_cast<std::size_t>(n);
    }
    if (fd >= 0)
        ::close(fd);
    return ok;
}

}  // namespace upkeep::test::raw
