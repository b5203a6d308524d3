#pragma once
// Ctrl-C and SIGTERM during downloads: the first one asks every transfer to
// cancel (they end within a fraction of a second), a second one leaves at
// once. Data connections reset when they close without having been taken,
// so even then no printer gets anything more. On Windows the console's
// Ctrl-C and Ctrl-Break, and its closing, do the same.

#include <signal.h>

namespace upkeep::cli {

// Installs the handler for SIGINT and SIGTERM for its lifetime.
class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
#ifndef _WIN32
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
#endif
};

// A first signal arrived while a guard was installed.
bool interrupted();

}  // namespace upkeep::cli
