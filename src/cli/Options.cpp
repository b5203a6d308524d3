#include "cli/Options.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "package/FirmwareCatalogue.h"
#include "platform/WorkingDirectory.h"
#include "printer/Community.h"
#include "resources/Strings.h"

namespace upkeep::cli {
namespace {

bool takes(const std::vector<std::string>& accepted, const std::string& flag) {
    return std::find(accepted.begin(), accepted.end(), flag) != accepted.end();
}

}  // namespace

std::optional<int> parseOptions(const Command& command, const Args& args, Options& options,
                                const std::vector<std::string>& accepted) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            options.positional.push_back(arg);
            continue;
        }
        if (!takes(accepted, arg))
            return usageError(command, "unknown option " + arg);
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--all") {
            options.all = true;
        } else if (arg == "--verify") {
            options.verify = true;
        } else if (arg == "--package") {
            options.package = value();
            if (!options.package)
                return usageError(command, "--package needs a directory");
        } else if (arg == "--community") {
            auto text = value();
            if (!text)
                return usageError(command, "--community needs a value");
            if (auto problem = communityProblem(*text))
                return usageError(command, *problem);
            setCommunity(*text);
        } else if (arg == "--parallel") {
            auto text = value();
            char* end = nullptr;
            long n = text ? std::strtol(text->c_str(), &end, 10) : 0;
            if (!text || *end != '\0' || n < 1 || n > 1024) {
                return usageError(command, "--parallel needs a number from 1 to 1024");
            }
            options.parallel = static_cast<unsigned>(n);
        }
    }
    return std::nullopt;
}

std::optional<std::string> communityProblem(const std::string& text) {
    if (text.empty())
        return std::string("--community may not be empty");
    if (text.size() > kCommunityLimit)
        return "--community takes at most " + std::to_string(kCommunityLimit) + " characters";
    return std::nullopt;
}

const FirmwareCatalogue* loadPackage(const Options& options) {
    if (options.package) {
        std::error_code error;
        if (!std::filesystem::is_directory(*options.package, error)) {
            std::fprintf(stderr, "upkeepctl: package directory '%s' does not exist\n",
                         options.package->c_str());
            return nullptr;
        }
        platform::setWorkingDirectory(std::filesystem::absolute(*options.package).string());
    }
    const FirmwareCatalogue* catalogue = FirmwareCatalogue::instance();
    if (!catalogue || catalogue->notLoaded() != 0) {
        std::fprintf(stderr, "upkeepctl: %s\n", message(180).c_str());
        return nullptr;
    }
    return catalogue;
}

std::string message(int id) {
    return resources::text(id);
}

}  // namespace upkeep::cli
