#include "connection/IpxSpxConnection.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "connection/SocketIo.h"
#include "platform/AsciiText.h"

namespace upkeep {
namespace {

constexpr std::uint8_t kOpenRequest[10] = {0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr std::uint8_t kDataHeader[6] = {0x12, 0, 0, 0, 0, 0};

// One "%2x": blanks, then one or two hexadecimal digits.
bool readHexByte(std::string_view text, std::size_t& pos, std::uint8_t& out) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    int value = 0, digits = 0;
    while (digits < 2 && pos < text.size() && platform::hexDigitValue(text[pos]) >= 0) {
        value = value * 16 + platform::hexDigitValue(text[pos]);
        ++pos;
        ++digits;
    }
    out = static_cast<std::uint8_t>(value);
    return digits > 0;
}

}  // namespace

std::optional<platform::IpxAddress> IpxSpxConnection::parseAddress(std::string_view name) {
    platform::IpxAddress address;
    std::size_t pos = 0;
    for (std::uint8_t& byte : address.network) {
        if (!readHexByte(name, pos, byte))
            return std::nullopt;
    }
    if (pos >= name.size() || name[pos] != '.')
        return std::nullopt;
    ++pos;
    for (std::uint8_t& byte : address.node) {
        if (!readHexByte(name, pos, byte))
            return std::nullopt;
    }
    return address;
}

IpxSpxConnection::IpxSpxConnection(const PortDescriptor& descriptor,
                                   std::unique_ptr<platform::IpxTransport> transport)
    : descriptor_(descriptor), transport_(std::move(transport)) {
    if (descriptor_.name().empty())
        return;
    std::optional<platform::IpxAddress> address = parseAddress(descriptor_.name().view());
    if (!address)
        return;
    const std::uint32_t ch = descriptor_.channel();
    address->socket = ch == channel::kManagement ? kSnmpSocket : kDataSocket;
    peer_ = address;
    if (!transport_ || (ch != channel::kData && ch != channel::kManagement))
        return;
    socket_ = transport_->createSocket(ch == channel::kData);
}

IpxSpxConnection::~IpxSpxConnection() {
    if (!socket_.valid())
        return;
    platform::setLinger(socket_.get(), static_cast<int>(std::max<long long>(
                                           1, std::llround(60.0 * platform::Clock::scale()))));
}

bool IpxSpxConnection::open() {
    if (!socket_.valid() || !peer_ || !transport_)
        return false;
    if (!transport_->connect(socket_.get(), *peer_))
        return false;
    if (descriptor_.channel() != channel::kData)
        return true;
    // The network interface's open exchange: the request, sent whole.
    if (!socketio::sendAll(socket_.get(), kOpenRequest, sizeof kOpenRequest, kSendTimeout))
        return false;
    std::uint8_t reply[1024];
    std::size_t length = 0;
    for (int i = 0; i < kMaxOpenReplies; ++i) {
        length = sizeof reply;
        if (!read(reply, length))
            return false;
        if (length > 0 && reply[0] == 0x10)
            break;
    }
    return length >= 2 && reply[1] == 0;
}

bool IpxSpxConnection::write(const std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr || !socket_.valid())
        return false;
    if (descriptor_.channel() != channel::kData)
        return socketio::sendAll(socket_.get(), buffer, length, kSendTimeout);
    if (scratch_.size() < length + sizeof kDataHeader)
        scratch_.assign(length + sizeof kDataHeader, 0);
    std::memcpy(scratch_.data(), kDataHeader, sizeof kDataHeader);
    if (length > 0)
        std::memcpy(scratch_.data() + sizeof kDataHeader, buffer, length);
    return socketio::sendAll(socket_.get(), scratch_.data(), length + sizeof kDataHeader,
                             kSendTimeout);
}

bool IpxSpxConnection::read(std::uint8_t* buffer, std::size_t& length) {
    if (!socket_.valid() || !peer_)
        return false;
    return socketio::receiveOnce(socket_.get(), buffer, length, kReadTimeout);
}

}  // namespace upkeep
