#pragma once
// The spooler on Linux: the local CUPS queues. Each queue is a printer whose
// port name is its device URI, and each distinct device URI is a port. The
// server is the one every CUPS client uses: CUPS_SERVER when it is set, else
// the client configuration's, else the local scheduler's socket.

#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Spooler.h"

namespace upkeep::platform {

class CupsSpooler final : public Spooler {
  public:
    // Nominal limit for connecting to the scheduler and for its answer.
    static constexpr Millis kTimeLimit{10000};

    bool printers(std::vector<SpoolerPrinter>& out) override;
    bool ports(std::vector<SpoolerPort>& out) override;

  private:
    // The local queues (not classes, not remote queues) as (name, device URI).
    bool queues(std::vector<SpoolerPrinter>& out);
};

}  // namespace upkeep::platform
