#include "connection/Connection.h"
#include "connection/TcpIpConnection.h"

namespace upkeep {

std::unique_ptr<Connection> createConnection(const PortDescriptor& descriptor) {
    switch (descriptor.portType()) {
        case PortType::TcpIp:
            return std::make_unique<TcpIpConnection>(descriptor);
        // Kinds not built yet give no connection, as an unassigned type does.
        case PortType::IpxSpx:
        case PortType::Parallel:
        case PortType::Usb:
        case PortType::File:
        case PortType::None:
            break;
    }
    return nullptr;
}

}  // namespace upkeep
