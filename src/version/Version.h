#pragma once
// The version of the programs: "0.1.0", or "0.1.0 (git DESCRIPTION)" when
// built from a git checkout.

namespace upkeep {

const char* versionText();

}  // namespace upkeep
