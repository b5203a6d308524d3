#pragma once
// Calls carried from the workers' threads onto the user-interface thread,
// in the order they were posted. The desktop program queues them onto the
// main window's event loop; tests keep them in a list and run them when
// they choose.

#include <functional>

namespace upkeep::app {

class UiQueue {
  public:
    virtual ~UiQueue() = default;
    // Thread-safe; the call runs later on the user-interface thread.
    virtual void post(std::function<void()> call) = 0;
};

}  // namespace upkeep::app
