#include "cli/Interrupt.h"

#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "cli/Command.h"
#include "cli/Texts.h"

namespace upkeep::cli {
namespace {

std::atomic<bool> signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used in a signal handler");

// "canceled" in the user's language, made before the handler is installed:
// the handler itself may only write it.
char canceledLine[128];
std::size_t canceledLength = 0;

extern "C" void onInterrupt(int) {
    if (signalled.exchange(true)) {
        [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, canceledLine, canceledLength);
        ::_exit(kExitFailed);
    }
}

void prepareCanceledLine() {
    const std::string line = message(text::kCanceled, {}) + "\n";
    canceledLength = std::min(line.size(), sizeof canceledLine);
    std::memcpy(canceledLine, line.data(), canceledLength);
}

}  // namespace

#ifdef _WIN32
// Called on a thread of its own by the console.
BOOL WINAPI onConsoleEvent(DWORD) {
    onInterrupt(0);
    return TRUE;
}

InterruptGuard::InterruptGuard() {
    signalled.store(false);
    prepareCanceledLine();
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptGuard::~InterruptGuard() {
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}
#else
InterruptGuard::InterruptGuard() {
    signalled.store(false);
    prepareCanceledLine();
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousInt_);
    ::sigaction(SIGTERM, &action, &previousTerm_);
}

InterruptGuard::~InterruptGuard() {
    ::sigaction(SIGINT, &previousInt_, nullptr);
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
}
#endif

bool interrupted() {
    return signalled.load();
}

}  // namespace upkeep::cli
