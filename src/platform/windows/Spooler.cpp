#include "platform/Spooler.h"

namespace upkeep::platform {
namespace {

// To become the print spooler's EnumPrinters and EnumPorts at level 2.
// Until then the spooler cannot be asked: commands that need its printers
// fail with that, and a printer is named by its address instead.
class NoSpooler final : public Spooler {
  public:
    bool printers(std::vector<SpoolerPrinter>&) override { return false; }
    bool ports(std::vector<SpoolerPort>&) override { return false; }
};

}  // namespace

std::unique_ptr<Spooler> systemSpooler() {
    return std::make_unique<NoSpooler>();
}

}  // namespace upkeep::platform
