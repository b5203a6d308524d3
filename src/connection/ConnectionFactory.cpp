#include "connection/Connection.h"
#include "connection/FileConnection.h"
#include "connection/TcpIpConnection.h"
#include "connection/UsbConnection.h"

namespace upkeep {

std::unique_ptr<Connection> createConnection(const PortDescriptor& descriptor) {
    switch (descriptor.portType()) {
        case PortType::TcpIp:
            return std::make_unique<TcpIpConnection>(descriptor);
        case PortType::Usb: return std::make_unique<UsbConnection>(descriptor);
        case PortType::File: return std::make_unique<FileConnection>(descriptor);
        // Kinds not built yet give no connection, as an unassigned type does.
        case PortType::IpxSpx:
        case PortType::Parallel:
        case PortType::None:
            break;
    }
    return nullptr;
}

}  // namespace upkeep
