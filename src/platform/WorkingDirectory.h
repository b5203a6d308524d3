#pragma once
// The directory the program's own files are looked for in first. It is the
// process's current directory unless something (upkeepctl --package, tests)
// names a stand-in; the setting is process-wide and safe to read from any
// thread.

#include <string>
#include <string_view>

namespace upkeep::platform {

inline constexpr char kPathSeparator = '/';

// The working directory: the stand-in when one is set, otherwise the
// current directory as the system reports it (empty if it cannot).
std::string workingDirectory();

// Makes dir the working directory's stand-in; an empty dir goes back to the
// real current directory.
void setWorkingDirectory(std::string_view dir);

// The working directory, the separator and the name.
std::string inWorkingDirectory(std::string_view name);

// Sets a stand-in for the lifetime of the object, then restores the previous
// setting (tests).
class ScopedWorkingDirectory {
  public:
    explicit ScopedWorkingDirectory(std::string_view dir);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

  private:
    std::string previous_;
};

}  // namespace upkeep::platform
