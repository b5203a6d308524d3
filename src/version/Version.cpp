#include "version/Version.h"

#include "VersionText.h"

namespace upkeep {

const char* versionText() {
    return UPKEEP_VERSION_TEXT;
}

}  // namespace upkeep
