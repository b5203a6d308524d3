#pragma once
// Where the build put the programs the tests start, and the source tree.

#include <string>

namespace upkeep::test {

std::string sourceDir();
std::string simPath();  // empty when printer-sim was not built
std::string ctlPath();
std::string examplePackageDir();

// The process's environment, the same call on every system. setEnv keeps
// a value already there unless `replace`.
bool setEnv(const char* name, const char* value, bool replace = true);
void unsetEnv(const char* name);

}  // namespace upkeep::test
