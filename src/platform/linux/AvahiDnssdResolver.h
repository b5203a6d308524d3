#pragma once
// DNS-SD on Linux: the Avahi daemon, asked through libavahi-client, one
// bounded wait per name.

#include "platform/Clock.h"
#include "platform/ServiceResolver.h"

namespace upkeep::platform {

class AvahiDnssdResolver final : public ServiceResolver {
  public:
    // Nominal limit of one resolution (the daemon gives up after about 5 s).
    static constexpr Millis kTimeLimit{5000};

    Resolution resolve(const ServiceInstance& instance) const override;
};

}  // namespace upkeep::platform
