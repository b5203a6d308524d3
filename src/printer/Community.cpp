#include "printer/Community.h"

#include <mutex>

namespace upkeep {
namespace {

// Read by the analysis worker and written by the UI thread, so guarded.
std::mutex& communityMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& communityText() {
    static std::string text = kDefaultCommunity;
    return text;
}

}  // namespace

std::string community() {
    std::lock_guard lock(communityMutex());
    return communityText();
}

void setCommunity(std::string_view text) {
    std::lock_guard lock(communityMutex());
    communityText().assign(text.substr(0, kCommunityLimit));
}

}  // namespace upkeep
