#include "platform/IpxTransport.h"

#include <atomic>

namespace upkeep::platform {
namespace {

std::atomic<IpxTransportFactory>& factoryWord() {
    static std::atomic<IpxTransportFactory> word{nullptr};
    return word;
}

}  // namespace

std::unique_ptr<IpxTransport> systemIpxTransport() {
    IpxTransportFactory factory = factoryWord().load();
    return factory ? factory() : nullptr;
}

void setIpxTransportFactory(IpxTransportFactory factory) {
    factoryWord().store(factory);
}

}  // namespace upkeep::platform
