// Target parsing over arbitrary text: what is accepted names one port,
// whole, that the connection reads the same way.

#include <string>

#include "cli/Target.h"
#include "connection/IpxSpxConnection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace upkeep;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') != std::string::npos)
        return 0;  // a command-line argument never holds one
    std::optional<PortDescriptor> port = cli::parseTarget(text);
    if (!port)
        return 0;
    switch (port->portType()) {
        case PortType::TcpIp:
            if (port->name().view() != text)
                __builtin_trap();  // the whole text, never a reading of part of it
            break;
        case PortType::IpxSpx:
            if ("ipx:" + port->name().str() != text ||
                !IpxSpxConnection::parseAddress(port->name().view()))
                __builtin_trap();
            break;
        case PortType::Usb:
            if ("usb:" + port->name().str() != text)
                __builtin_trap();  // never cut
            break;
        case PortType::Parallel:
            if (text != "lpt:" && text != "lpt:1" &&
                !(text.starts_with("lpt:/") && "lpt:" + port->name().str() == text))
                __builtin_trap();
            break;
        default:
            __builtin_trap();
    }
    return 0;
}
