#pragma once
// The network port monitors' registry keys: each lookup takes a spooler
// port name and answers the text that names the printer behind it (the
// name of a port descriptor), or nothing.
//
// Keys are only ever opened for reading. Asking for more would make every
// lookup fail for a user who is not an administrator, and the network
// printers would silently drop out of the list.

#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace upkeep::discovery {

// The monitors' "Ports" keys below HKEY_LOCAL_MACHINE.
inline constexpr const char* kLinkoraPorts =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tavo Linkora Port\\Ports";
inline constexpr const char* kStandardTcpIpPorts =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tavo Standard TCP/IP Port\\Ports";
inline constexpr const char* kStandardIpxSpxPorts =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tavo Standard IPX/SPX Port\\Ports";
inline constexpr const char* kTestPorts =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tavo Test Port\\Ports";

// Longest texts read; a longer value counts as unreadable rather than being
// cut, since a cut address would name another printer.
inline constexpr std::size_t kMaxPortText = 255;
inline constexpr std::size_t kMaxIpxPart = 31;

// "TavoNetworkPrinterID", unchanged (it carries a "TCPIP," or "IPX," prefix).
std::optional<std::string> linkoraPort(const platform::Registry& registry,
                                       std::string_view portName);
// "HostName" when it is not empty, else "IPAddress".
std::optional<std::string> standardTcpIpPort(const platform::Registry& registry,
                                             std::string_view portName);
// "NetNum" "." "HWAddress".
std::optional<std::string> standardIpxSpxPort(const platform::Registry& registry,
                                              std::string_view portName);
// "TavoNetworkPrinterID", unchanged.
std::optional<std::string> testPort(const platform::Registry& registry, std::string_view portName);

}  // namespace upkeep::discovery
