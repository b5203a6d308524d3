#include "support/Paths.h"

#include <cstdlib>

namespace upkeep::test {
namespace {

// The sample package is signed by the example key: the tests, and the
// programs they start, trust it as an administrator would by installing
// it, unless a test names another directory. Set before any test runs,
// as every test executable links this file.
const bool exampleKeyTrusted = [] {
    const std::string dir = std::string(UPKEEP_SOURCE_DIR) + "/examples/trusted.gpg.d";
    return ::setenv("UPKEEP_TRUSTED_DIR", dir.c_str(), 0) == 0;
}();

// Nor do their download locks go where the system's are.
const bool ownLocks = [] {
    const std::string dir = std::string(UPKEEP_BINARY_DIR) + "/test-locks";
    return ::setenv("UPKEEP_LOCK_DIR", dir.c_str(), 0) == 0;
}();

}  // namespace

std::string sourceDir() {
    return UPKEEP_SOURCE_DIR;
}

std::string simPath() {
#ifdef UPKEEP_SIM_PATH
    return UPKEEP_SIM_PATH;
#else
    return {};
#endif
}

std::string ctlPath() {
    return UPKEEP_CTL_PATH;
}

std::string examplePackageDir() {
    return sourceDir() + "/examples/package";
}

}  // namespace upkeep::test
