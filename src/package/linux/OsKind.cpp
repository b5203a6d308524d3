#include "package/Environment.h"

namespace upkeep {

OsKind LinuxEnvironment::osKind() {
    return OsKind::Unknown;
}

}  // namespace upkeep
