#include "discovery/PrefetchedResolver.h"

#include <thread>

#include "discovery/ClassifyPort.h"
#include "discovery/DeviceUri.h"

namespace upkeep::discovery {

std::string PrefetchedResolver::key(const platform::ServiceInstance& instance) {
    return instance.name + '\0' + instance.type + '\0' + instance.domain;
}

PrefetchedResolver::PrefetchedResolver(const platform::ServiceResolver& resolver,
                                       const std::vector<std::string>& portNames)
    : resolver_(resolver) {
    std::map<std::string, platform::ServiceInstance> wanted;
    for (const std::string& name : portNames) {
        for (const platform::ServiceInstance& instance : nameLookups(name))
            wanted.emplace(key(instance), instance);
    }
    for (const auto& [name, instance] : wanted)
        answers_[name];  // every slot made before any thread writes one
    std::vector<std::thread> threads;
    for (const auto& [name, instance] : wanted) {
        platform::Resolution* slot = &answers_[name];
        const platform::ServiceInstance* asked = &instance;
        threads.emplace_back([this, slot, asked] { *slot = resolver_.resolve(*asked); });
    }
    for (std::thread& thread : threads)
        thread.join();
}

platform::Resolution PrefetchedResolver::resolve(const platform::ServiceInstance& instance) const {
    auto it = answers_.find(key(instance));
    if (it != answers_.end())
        return it->second;
    return resolver_.resolve(instance);
}

}  // namespace upkeep::discovery
