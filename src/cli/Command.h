#pragma once
// One upkeepctl command: its name, a one-line usage, what it does and its
// body. Bodies return the exit code: 0 success, 1 the operation failed,
// 2 usage error.

#include <string>
#include <string_view>
#include <vector>

namespace upkeep::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage;
    int summary;  // its string-table number
    int (*run)(const Args& args);
};

// Every command, in the order help lists them.
const std::vector<Command>& commands();
// The command of that name (the first command when there is none).
const Command& commandNamed(std::string_view name);

// Prints "upkeepctl: MESSAGE" on stderr and returns the code.
int fail(int code, const std::string& message);
int usageError(const Command& command, const std::string& message);

}  // namespace upkeep::cli
