#pragma once
// Resolves every DNS-SD name of a search at once: a name that does not
// resolve costs the resolver's whole time limit, and one search may hold
// many queues of printers seen once on the network.

#include <map>
#include <string>
#include <vector>

#include "platform/ServiceResolver.h"

namespace upkeep::discovery {

class PrefetchedResolver final : public platform::ServiceResolver {
  public:
    // Resolves the services and host names that the device URIs among
    // `portNames` name, each on a thread of its own, through `resolver`.
    PrefetchedResolver(const platform::ServiceResolver& resolver,
                       const std::vector<std::string>& portNames);

    // The answer found above; any other instance goes to the resolver.
    platform::Resolution resolve(const platform::ServiceInstance& instance) const override;

  private:
    static std::string key(const platform::ServiceInstance& instance);

    const platform::ServiceResolver& resolver_;
    std::map<std::string, platform::Resolution> answers_;
};

}  // namespace upkeep::discovery
