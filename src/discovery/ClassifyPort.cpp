#include "discovery/ClassifyPort.h"

#include "discovery/PortMonitors.h"

namespace upkeep::discovery {
namespace {

Classification found(std::string_view name, PortType type, std::string rule) {
    return {type, {std::string(name)}, std::move(rule), {}};
}

}  // namespace

Classification classify(std::string_view portName, const PortSources& sources) {
    if (portName.starts_with("LPT"))
        return found(portName, PortType::Parallel, "parallel port name");

    if (std::optional<std::string> id = linkoraPort(sources.registry, portName)) {
        std::string_view text = *id;
        if (text.starts_with("TCPIP,"))
            return found(text.substr(6), PortType::TcpIp, "Linkora port");
        if (text.starts_with("IPX,"))
            return found(text.substr(4), PortType::IpxSpx, "Linkora port");
        if (std::optional<std::string> test = testPort(sources.registry, portName))
            return found(*test, PortType::TcpIp, "Linkora port, test port's text");
        // A Linkora identifier in neither form names no transport we know.
        // The port is not taken by this rule; the rules below still get
        // their chance, so a port that only the Linkora monitor knows is
        // not listed (rather than listed with no way to reach it).
    }
    if (std::optional<std::string> host = standardTcpIpPort(sources.registry, portName))
        return found(*host, PortType::TcpIp, "Standard TCP/IP port");
    if (std::optional<std::string> path = sources.usb.lookup(portName))
        return found(*path, PortType::Usb, "USB port");
    if (std::optional<std::string> address = standardIpxSpxPort(sources.registry, portName))
        return found(*address, PortType::IpxSpx, "Standard IPX/SPX port");
    if (std::optional<std::string> text = testPort(sources.registry, portName))
        return found(*text, PortType::TcpIp, "test port");
    return classifyDeviceUri(portName, sources);
}

bool classifyPort(std::string_view portName, PortDescriptor& descriptor,
                  const PortSources& sources) {
    Classification result = classify(portName, sources);
    if (!result.classified())
        return false;
    descriptor.setName(result.names.front());
    descriptor.setPortType(result.type);
    return true;
}

}  // namespace upkeep::discovery
