#pragma once
// The analysis of many network printers at once from the calling thread:
// every printer's SNMP requests go out over one unconnected UDP socket per
// address family and one event loop waits for all the replies, so that a
// fleet with silent printers costs about one read time-out whatever its
// size. Each printer sees the request a single query would send it, once,
// with the same read limit counted from when its own request went out, and
// ends with the facts a single analysis would leave. Host names are looked
// up first, on a few helper threads.

#include <cstddef>
#include <functional>
#include <vector>

namespace upkeep {

class Printer;

// Analyses every printer that is not analysed yet (network printers only),
// with at most `inFlight` requests out at once. The printers are the
// caller's own: nothing else analyses them meanwhile (the sweep holds no
// analysis lock of theirs; it writes their facts through their setters). `done` is called on this
// thread with the printer's index as soon as its facts are stored.
void sweepNetworkPrinters(const std::vector<Printer*>& printers, std::size_t inFlight,
                          const std::function<void(std::size_t)>& done = {});

}  // namespace upkeep
