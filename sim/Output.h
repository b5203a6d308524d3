#pragma once
// The simulator's line protocol on stdout (tests read it) and its errors on
// stderr. Lines from all threads are written whole and flushed at once.

#include <string>

namespace upkeep::sim {

void say(const std::string& line);
void complain(const std::string& line);

}  // namespace upkeep::sim
