#include "connection/CancelScope.h"

namespace upkeep {
namespace {
thread_local const std::atomic<bool>* innermost = nullptr;
}

CancelScope::CancelScope(const std::atomic<bool>& word) : previous_(innermost) {
    innermost = &word;
}

CancelScope::~CancelScope() {
    innermost = previous_;
}

const std::atomic<bool>* CancelScope::current() {
    return innermost;
}

}  // namespace upkeep
