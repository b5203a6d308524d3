#pragma once
// Calls carried from the workers' threads onto the user-interface thread,
// in the order they were posted. The desktop program queues them onto the
// main window's event loop; tests keep them in a list and run them when
// they choose.

#include <functional>
#include <memory>

namespace upkeep::app {

class UiQueue {
  public:
    virtual ~UiQueue() = default;
    // Thread-safe; the call runs later on the user-interface thread.
    virtual void post(std::function<void()> call) = 0;
};

// Posts the reports of one run of a worker. A report runs only while its
// owner lives (alive) and that run is still the owner's current one
// (Owner::isCurrentRun), so a stopped or replaced worker never reaches a
// newer list or display.
template <typename Owner>
class RunPoster {
  public:
    RunPoster(Owner& owner, std::shared_ptr<UiQueue> queue, const std::shared_ptr<int>& alive,
              unsigned run)
        : owner_(&owner), queue_(std::move(queue)), alive_(alive), run_(run) {}

    template <typename F>
    void operator()(F f) const {
        queue_->post([owner = owner_, alive = alive_, run = run_, f = std::move(f)] {
            if (!alive.expired() && owner->isCurrentRun(run))
                f(*owner);
        });
    }

  private:
    Owner* owner_;
    std::shared_ptr<UiQueue> queue_;
    std::weak_ptr<int> alive_;
    unsigned run_;
};

}  // namespace upkeep::app
