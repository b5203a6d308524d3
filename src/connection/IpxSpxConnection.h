#pragma once
// A network printer on an IPX network: channel 0 is an SPX connection to
// the network interface's data socket 0x400C, opened with the interface's
// exchange and with a 6-byte header in front of every write; channel 1 is
// an IPX datagram socket to 0x900F for SNMP.

#include <optional>
#include <string_view>
#include <vector>

#include "connection/Connection.h"
#include "platform/Clock.h"
#include "platform/IpxTransport.h"

namespace upkeep {

class IpxSpxConnection final : public Connection {
  public:
    static constexpr std::uint16_t kDataSocket = 0x400C;
    static constexpr std::uint16_t kSnmpSocket = 0x900F;
    static constexpr platform::Millis kReadTimeout{5'000};
    static constexpr platform::Millis kSendTimeout{60'000};
    static constexpr int kMaxOpenReplies = 9;

    IpxSpxConnection(const PortDescriptor& descriptor,
                     std::unique_ptr<platform::IpxTransport> transport);
    ~IpxSpxConnection() override;

    std::uint32_t blockSize() const override { return 1024; }
    bool open() override;
    bool read(std::uint8_t* buffer, std::size_t& length) override;
    bool write(const std::uint8_t* buffer, std::size_t length) override;
    std::uint64_t size() override { return 0; }
    bool remove() override { return false; }
    bool create() override { return false; }

    bool hasSocket() const { return socket_.valid(); }
    const std::optional<platform::IpxAddress>& peer() const { return peer_; }

    // "NETWORK.NODE" in hexadecimal, read as "%2x%2x%2x%2x.%2x%2x%2x%2x%2x%2x";
    // a name with fewer fields is refused.
    static std::optional<platform::IpxAddress> parseAddress(std::string_view name);

  private:
    PortDescriptor descriptor_;
    std::unique_ptr<platform::IpxTransport> transport_;
    std::optional<platform::IpxAddress> peer_;
    platform::UniqueSocket socket_;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace upkeep
