#pragma once
// Where the build put the programs the tests start, and the source tree.

#include <string>

namespace upkeep::test {

std::string sourceDir();
std::string simPath();  // empty when printer-sim was not built
std::string ctlPath();
std::string examplePackageDir();

}  // namespace upkeep::test
