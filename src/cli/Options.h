#pragma once
// The options the printer commands share, and the package they load.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/Target.h"
#include "connection/PortDescriptor.h"

namespace upkeep {
class FirmwareCatalogue;
}

namespace upkeep::cli {

struct Options {
    std::vector<std::string> positional;
    bool json = false;
    bool metrics = false;
    // check: one JSON object per printer and line, as each one's answer arrives.
    bool jsonLines = false;
    bool yes = false;
    bool all = false;
    bool verify = false;
    // --verify-timeout: how long a verification waits for the printer.
    std::chrono::seconds verifyLimit{600};
    unsigned parallel = 16;
    std::optional<std::string> package;
    bool dryRun = false;
    // check: the states that make it fail (state names as --json gives them).
    std::vector<std::string> failOn;
    // Keyrings trusted for this run besides the configured ones.
    std::vector<std::string> keyrings;
    bool requireSigned = false;
};

// Parses the shared options; flags a command does not take are refused.
// Returns an exit code on a usage error.
std::optional<int> parseOptions(const Command& command, const Args& args, Options& options,
                                const std::vector<std::string>& accepted);

// Why a --community value is refused (empty, or longer than the 63
// characters a community holds: a cut one is another community), or nothing.
std::optional<std::string> communityProblem(const std::string& text);

// Loads the catalogue as the program does (or from --package), printing the
// program's message when it cannot be found. With --require-signed (or the
// "RequireSigned" setting) a package that is not signed by a trusted key is
// refused, with the reason.
const FirmwareCatalogue* loadPackage(const Options& options);

// Trusts the --keyring files for the package loaded after it.
void useKeyrings(const Options& options);

// --require-signed, or the "RequireSigned" setting.
bool requiresSigned(const Options& options);

// The text of a string-table entry in the current language.
std::string message(int id);

}  // namespace upkeep::cli
