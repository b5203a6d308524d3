#pragma once
// A cancel word for every connection a thread makes while the scope lives:
// an exchange deep inside an analysis (an SNMP read, a PJL answer) then ends
// within its next wait step when the tool is stopped, not at its time-out.

#include <atomic>

namespace upkeep {

class CancelScope {
  public:
    explicit CancelScope(const std::atomic<bool>& word);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

    // The innermost scope's word on this thread, or null.
    static const std::atomic<bool>* current();

  private:
    const std::atomic<bool>* previous_;
};

}  // namespace upkeep
