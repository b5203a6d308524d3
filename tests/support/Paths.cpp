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
    return setEnv("UPKEEP_TRUSTED_DIR", dir.c_str(), false);
}();

// Nor do their download locks go where the system's are.
const bool ownLocks = [] {
    const std::string dir = std::string(UPKEEP_BINARY_DIR) + "/test-locks";
    return setEnv("UPKEEP_LOCK_DIR", dir.c_str(), false);
}();

}  // namespace

bool setEnv(const char* name, const char* value, bool replace) {
#ifdef _WIN32
    if (!replace && std::getenv(name) != nullptr)
        return true;
    return ::_putenv_s(name, value) == 0;
#else
    return ::setenv(name, value, replace ? 1 : 0) == 0;
#endif
}

void unsetEnv(const char* name) {
#ifdef _WIN32
    ::_putenv_s(name, "");  // an empty value removes it
#else
    ::unsetenv(name);
#endif
}

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
