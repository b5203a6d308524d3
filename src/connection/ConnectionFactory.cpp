#include "connection/CancelScope.h"
#include "connection/Connection.h"
#include "connection/FileConnection.h"
#include "connection/IpxSpxConnection.h"
#include "connection/ParallelConnection.h"
#include "connection/TcpIpConnection.h"
#include "connection/UsbConnection.h"

namespace upkeep {

namespace {

std::unique_ptr<Connection> made(const PortDescriptor& descriptor) {
    switch (descriptor.portType()) {
        case PortType::TcpIp:
            return std::make_unique<TcpIpConnection>(descriptor);
        case PortType::Usb:
            return std::make_unique<UsbConnection>(descriptor);
        case PortType::File:
            return std::make_unique<FileConnection>(descriptor);
        case PortType::IpxSpx:
            return std::make_unique<IpxSpxConnection>(descriptor, platform::systemIpxTransport());
        case PortType::Parallel:
            return std::make_unique<ParallelConnection>(descriptor);
        case PortType::None:
            break;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<Connection> createConnection(const PortDescriptor& descriptor) {
    std::unique_ptr<Connection> connection = made(descriptor);
    if (connection)
        connection->watchCancel(CancelScope::current());
    return connection;
}

}  // namespace upkeep
