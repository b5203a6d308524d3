#pragma once
// The raw data port (TCP 9100) of one printer: serves one accepted
// connection until the peer closes it, the printer's fault closes it, or
// the simulator stops.

#include "Fd.h"
#include "Printer.h"

namespace upkeep::sim {

void serveConnection(Fd connection, Printer& printer, const std::string& recordDir, int stopFd);

}  // namespace upkeep::sim
