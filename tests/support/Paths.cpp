#include "support/Paths.h"

namespace upkeep::test {

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
