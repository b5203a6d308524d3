#pragma once
// A value record that names a printer port or a local file: the text a
// connection kind needs to reach it, the port type and the channel.

#include <cstdint>
#include <string_view>

#include "platform/FixedText.h"

namespace upkeep {

enum class PortType : std::int32_t {
    TcpIp = 0,
    IpxSpx = 1,
    Parallel = 4,
    Usb = 6,
    File = 8,
    None = 9,
};

// The type's name in the tool's output ("TcpIp", "Usb", ...).
inline const char* portTypeName(PortType type) {
    switch (type) {
        case PortType::TcpIp:
            return "TcpIp";
        case PortType::IpxSpx:
            return "IpxSpx";
        case PortType::Parallel:
            return "Parallel";
        case PortType::Usb:
            return "Usb";
        case PortType::File:
            return "File";
        case PortType::None:
            return "None";
    }
    return "None";
}

// Channel numbers: which service of a port, or how a file name is placed.
namespace channel {
inline constexpr std::uint32_t kData = 0;        // raw print data (TCP 9100, SPX 0x400C)
inline constexpr std::uint32_t kManagement = 1;  // SNMP (UDP 161, IPX 0x900F)
inline constexpr std::uint32_t kWorkingDir = 3;  // file: relative to the working directory
inline constexpr std::uint32_t kWorkingDirCatalogue = 4;
inline constexpr std::uint32_t kFullPath = 5;  // file: name used unchanged
inline constexpr std::uint32_t kSettingsPath = 6;
inline constexpr std::uint32_t kUnset = 7;
}  // namespace channel

class PortDescriptor {
  public:
    using Text = FixedText<256>;

    PortDescriptor() = default;
    PortDescriptor(std::string_view name, PortType type, std::uint32_t channelNumber)
        : name_(name), portType_(type), channel_(channelNumber) {}

    // A name longer than the field, or with a zero byte in it, would be cut
    // into another name: callers refuse it rather than store it.
    static bool fits(std::string_view name) {
        return name.size() <= Text::kCapacity && name.find('\0') == std::string_view::npos;
    }

    const Text& name() const { return name_; }
    void setName(std::string_view name) { name_.assign(name); }

    PortType portType() const { return portType_; }
    void setPortType(PortType type) { portType_ = type; }

    std::uint32_t channel() const { return channel_; }
    void setChannel(std::uint32_t channelNumber) { channel_ = channelNumber; }

    // The record's two other texts: carried along on copy, never used.
    const Text& secondText() const { return second_; }
    const Text& thirdText() const { return third_; }

    friend bool operator==(const PortDescriptor&, const PortDescriptor&) = default;

  private:
    Text name_;
    Text second_;
    PortType portType_ = PortType::None;
    std::uint32_t channel_ = channel::kUnset;
    Text third_;
};

}  // namespace upkeep
