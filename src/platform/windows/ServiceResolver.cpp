#include "platform/ServiceResolver.h"

namespace upkeep::platform {

// Windows spoolers name network printers by address or host name; a DNS-SD
// resolver (DnsServiceResolve) is for when its ports need one.
std::unique_ptr<ServiceResolver> systemServiceResolver() {
    return nullptr;
}

}  // namespace upkeep::platform
