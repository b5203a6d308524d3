#include "cli/Interrupt.h"

#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>

#include "cli/Command.h"

namespace upkeep::cli {
namespace {

std::atomic<bool> signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used in a signal handler");

extern "C" void onInterrupt(int) {
    if (signalled.exchange(true)) {
        static const char text[] = "canceled\n";
        [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, text, sizeof text - 1);
        ::_exit(kExitFailed);
    }
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
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptGuard::~InterruptGuard() {
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}
#else
InterruptGuard::InterruptGuard() {
    signalled.store(false);
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
