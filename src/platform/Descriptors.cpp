#include "platform/Descriptors.h"

#include <atomic>
#include <cerrno>

namespace upkeep::platform {
namespace {

std::atomic<int> shortage{0};

}  // namespace

void noteOpenFailure(int error) {
    if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
        int none = 0;
        shortage.compare_exchange_strong(none, error);
    }
}

int resourceShortage() {
    return shortage.load();
}

void clearResourceShortage() {
    shortage.store(0);
}

}  // namespace upkeep::platform
