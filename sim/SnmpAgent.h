#pragma once
// The SNMPv1 agent of one simulated printer: turns a request datagram into
// the answer a printer would give, or into no answer at all.

#include <optional>
#include <string>
#include <string_view>

#include "Printer.h"

namespace upkeep::sim {

// nullopt: send nothing (a wrong community, a message that is not an SNMPv1
// GetRequest, or a printer told to stay silent).
std::optional<std::string> answerSnmp(std::string_view request, const Printer& printer);

}  // namespace upkeep::sim
