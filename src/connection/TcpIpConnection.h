#pragma once
// A network printer by host name, dotted IPv4 address or IPv6 address
// (see NetworkName.h): channel 0 is a TCP stream to the print-data port
// (9100 unless the name gives another), channel 1 a connected UDP socket
// to the SNMP port 161.

#include <optional>

#include "connection/Connection.h"
#include "connection/NetworkName.h"
#include "connection/SocketIo.h"
#include "platform/Clock.h"
#include "platform/Socket.h"

namespace upkeep {

class TcpIpConnection final : public Connection {
  public:
    static constexpr std::uint16_t kDataPort = 9100;
    static constexpr std::uint16_t kSnmpPort = 161;
    static constexpr platform::Millis kReadTimeout{10'000};
    static constexpr platform::Millis kSendTimeout{60'000};

    explicit TcpIpConnection(const PortDescriptor& descriptor);
    ~TcpIpConnection() override;

    std::uint32_t blockSize() const override { return 1024; }
    bool open() override;
    bool read(std::uint8_t* buffer, std::size_t& length) override;
    bool write(const std::uint8_t* buffer, std::size_t length) override;
    // On the data channel: the printer acknowledged every byte and closed,
    // or went quiet for the read time-out after acknowledging them.
    bool finishSending(const UnconfirmedReport& report) override;
    // On the data channel: the printer acknowledged every byte; its answer
    // is left to read.
    bool awaitTaken(const UnconfirmedReport& report) override;
    std::uint64_t unconfirmed() const override;
    bool peerDropped() const override { return dropped_; }
    std::string failureCode() const override;
    std::uint64_t size() override { return 0; }
    bool remove() override { return false; }
    bool create() override { return false; }

    bool hasSocket() const { return socket_.valid(); }
    // The port the connection goes to; nullopt when the name gave no address.
    std::optional<std::uint16_t> peerPort() const {
        return peer_ ? std::optional<std::uint16_t>(port_) : std::nullopt;
    }

  private:
    // A finishing wait's result; when the printer took everything, the
    // connection closes normally from now on.
    bool taken(bool all);

    PortDescriptor descriptor_;
    std::optional<sockaddr_storage> peer_;
    socklen_t peerLength_ = 0;
    std::uint16_t port_ = 0;
    platform::UniqueSocket socket_;
    // The printer's receive window on the data channel, looked at as we
    // send and finish: a printer that ends its side shows in it what it
    // left unread.
    socketio::PeerWindow window_;
    bool dropped_ = false;
};

}  // namespace upkeep
