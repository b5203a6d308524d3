#pragma once
// Runs a program to its end and collects its output and exit code.

#include <string>
#include <utility>
#include <vector>

namespace upkeep::test {

struct CommandResult {
    int exitCode = -1;  // -1: did not exit normally
    std::string out;
    std::string err;
};

CommandResult runCommand(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env = {});

// upkeepctl with `args`, in the C locale and with time scaled by 0.01;
// `env` comes last, so that it wins.
CommandResult runCtl(std::vector<std::string> args,
                     std::vector<std::pair<std::string, std::string>> env = {});

}  // namespace upkeep::test
