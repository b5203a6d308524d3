#pragma once
// The print spooler as discovery sees it: the printers installed on this
// workstation, each with the name of the port it prints to, and the ports
// the spooler knows.

#include <memory>
#include <string>
#include <vector>

namespace upkeep::platform {

struct SpoolerPrinter {
    std::string name;
    // The port the printer prints to. A pooled printer names several ports,
    // separated by commas, here.
    std::string portName;
};

struct SpoolerPort {
    std::string name;
};

class Spooler {
  public:
    virtual ~Spooler() = default;
    // The local printers in the spooler's order; false when the spooler
    // cannot be asked (out is then unspecified).
    virtual bool printers(std::vector<SpoolerPrinter>& out) = 0;
    // The ports in the spooler's order; false when it cannot be asked.
    virtual bool ports(std::vector<SpoolerPort>& out) = 0;
};

// The system's spooler: CUPS on Linux (linux/CupsSpooler.h).
std::unique_ptr<Spooler> systemSpooler();

}  // namespace upkeep::platform
