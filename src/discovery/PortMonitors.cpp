#include "discovery/PortMonitors.h"

namespace upkeep::discovery {
namespace {

constexpr const char* kPrinterIdValue = "TavoNetworkPrinterID";

// The port's own key below a monitor's "Ports" key. A port name is one key
// level: an empty one, or one holding the path separator, names no port.
std::optional<platform::RegistryKey> openPortKey(const platform::Registry& registry,
                                                 const char* monitorPorts,
                                                 std::string_view portName) {
    if (portName.empty() || portName.find('\\') != std::string_view::npos)
        return std::nullopt;
    if (!registry.openKey(monitorPorts))
        return std::nullopt;
    std::string path = monitorPorts;
    path += '\\';
    path += portName;
    return registry.openKey(path);
}

// A text value of at most `limit` characters; none when missing, not a
// text, or too long.
std::optional<std::string> readText(const platform::RegistryKey& key, const char* name,
                                    std::size_t limit) {
    std::optional<std::string> text = key.readText(name);
    if (!text || text->size() > limit)
        return std::nullopt;
    return text;
}

std::optional<std::string> printerId(const platform::Registry& registry, const char* monitorPorts,
                                     std::string_view portName) {
    std::optional<platform::RegistryKey> key = openPortKey(registry, monitorPorts, portName);
    if (!key)
        return std::nullopt;
    return readText(*key, kPrinterIdValue, kMaxPortText);
}

}  // namespace

std::optional<std::string> linkoraPort(const platform::Registry& registry,
                                       std::string_view portName) {
    return printerId(registry, kLinkoraPorts, portName);
}

std::optional<std::string> testPort(const platform::Registry& registry, std::string_view portName) {
    return printerId(registry, kTestPorts, portName);
}

std::optional<std::string> standardTcpIpPort(const platform::Registry& registry,
                                             std::string_view portName) {
    std::optional<platform::RegistryKey> key = openPortKey(registry, kStandardTcpIpPorts, portName);
    if (!key)
        return std::nullopt;
    std::optional<std::string> host = readText(*key, "HostName", kMaxPortText);
    if (host && !host->empty())
        return host;
    std::optional<std::string> address = readText(*key, "IPAddress", kMaxPortText);
    if (address && !address->empty())
        return address;
    return std::nullopt;
}

std::optional<std::string> standardIpxSpxPort(const platform::Registry& registry,
                                              std::string_view portName) {
    std::optional<platform::RegistryKey> key =
        openPortKey(registry, kStandardIpxSpxPorts, portName);
    if (!key)
        return std::nullopt;
    std::optional<std::string> network = readText(*key, "NetNum", kMaxIpxPart);
    if (!network)
        return std::nullopt;
    std::optional<std::string> node = readText(*key, "HWAddress", kMaxIpxPart);
    if (!node || node->empty())
        return std::nullopt;
    return *network + "." + *node;
}

}  // namespace upkeep::discovery
