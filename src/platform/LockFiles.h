#pragma once
// Where the program's lock files live, and how one is opened: a directory
// every user's processes share, so that their locks exclude each other,
// else one of the user's own.

#include <string>

namespace upkeep::platform {

// Makes the directory when it is missing: `shared` lets every user add
// files to it, otherwise it is the user's own. True when files can be made
// in it.
bool usableDirectory(const std::string& path, bool shared);

// The shared directory when it is usable, else the user's own.
std::string lockDirectory();

// Opens (making it when missing) a lock file any user can open again; a
// symbolic link in its place is refused. -1 with errno on failure.
int openLockFile(const std::string& path);

// This process's id, for whoever looks at a lock file.
long processId();

}  // namespace upkeep::platform
