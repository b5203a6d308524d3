#include "cli/Options.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "package/Environment.h"
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
            return usageError(command, message(text::kUnknownOption, {arg}));
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--json-lines") {
            options.jsonLines = true;
        } else if (arg == "--metrics") {
            options.metrics = true;
        } else if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--all") {
            options.all = true;
        } else if (arg == "--verify") {
            options.verify = true;
        } else if (arg == "--verify-timeout") {
            auto text = value();
            char* end = nullptr;
            long n = text ? std::strtol(text->c_str(), &end, 10) : 0;
            if (!text || text->empty() || *end != '\0' || n < 1 || n > 86400)
                return usageError(command, message(text::kNeedsSeconds, {arg}));
            options.verifyLimit = std::chrono::seconds(n);
            options.verify = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--fail-on") {
            std::optional<std::string> list = value();
            if (!list || list->empty())
                return usageError(command, message(text::kNeedsValue, {arg}));
            for (std::size_t start = 0; start <= list->size();) {
                std::size_t comma = std::min(list->find(',', start), list->size());
                options.failOn.push_back(list->substr(start, comma - start));
                start = comma + 1;
            }
        } else if (arg == "--package") {
            options.package = value();
            if (!options.package)
                return usageError(command, message(text::kNeedsValue, {arg}));
        } else if (arg == "--keyring") {
            auto file = value();
            if (!file || file->empty())
                return usageError(command, message(text::kNeedsValue, {arg}));
            options.keyrings.push_back(*file);
        } else if (arg == "--require-signed") {
            options.requireSigned = true;
        } else if (arg == "--community") {
            auto text = value();
            if (!text)
                return usageError(command, message(text::kNeedsValue, {arg}));
            if (auto problem = communityProblem(*text))
                return usageError(command, *problem);
            setCommunity(*text);
        } else if (arg == "--parallel") {
            auto text = value();
            char* end = nullptr;
            long n = text ? std::strtol(text->c_str(), &end, 10) : 0;
            if (!text || *end != '\0' || n < 1 || n > 1024) {
                return usageError(command, message(text::kNeedsNumber, {arg}));
            }
            options.parallel = static_cast<unsigned>(n);
        }
    }
    return std::nullopt;
}

std::optional<std::string> communityProblem(const std::string& text) {
    if (text.size() > kCommunityLimit)
        return message(text::kTakesAtMost, {"--community", std::to_string(kCommunityLimit)});
    return std::nullopt;
}

namespace {

// An object line the catalogue refused changes what every printer reads, so
// it is said once, not left to be guessed from the results.
void warnOfRefusedObjects(const FirmwareCatalogue& catalogue) {
    static std::once_flag once;
    std::call_once(once, [&] {
        auto warn = [](const char* section, const FirmwareCatalogue::Oid& model,
                       const FirmwareCatalogue::Oid& version) {
            for (const auto* oid : {&model, &version}) {
                if (auto problem = FirmwareCatalogue::oidProblem(oid->view())) {
                    std::fprintf(
                        stderr, "upkeepctl: %s\n",
                        message(text::kLineRefused, {section, terminalText(*problem)}).c_str());
                    return;
                }
            }
        };
        FirmwareCatalogue::Oid model, version;
        if (catalogue.systemPairRefused()) {
            catalogue.systemPairAsRead(model, version);
            warn("[SYSTEM]", model, version);
        }
        for (std::size_t i = 0; i < catalogue.subsystemCount(); ++i) {
            if (!catalogue.subsystemPair(i, model, version))
                warn("[SUBSYSTEM]", model, version);
        }
    });
}

}  // namespace

void useKeyrings(const Options& options) {
    for (const std::string& keyring : options.keyrings)
        addTrustedKeyring(keyring);
}

bool requiresSigned(const Options& options) {
    if (options.requireSigned)
        return true;
    Environment* environment = Environment::instance();
    return environment != nullptr && environment->requireSigned();
}

const FirmwareCatalogue* loadPackage(const Options& options) {
    if (options.package) {
        std::error_code error;
        if (!std::filesystem::is_directory(*options.package, error)) {
            std::fprintf(stderr, "upkeepctl: %s\n",
                         message(text::kNoPackageDirectory, {*options.package}).c_str());
            return nullptr;
        }
        platform::setWorkingDirectory(std::filesystem::absolute(*options.package).string());
    }
    useKeyrings(options);
    const FirmwareCatalogue* catalogue = FirmwareCatalogue::instance();
    if (!catalogue || catalogue->notLoaded() != 0) {
        std::fprintf(stderr, "upkeepctl: %s\n", message(180).c_str());
        return nullptr;
    }
    warnOfRefusedObjects(*catalogue);
    const PackageTrust& trust = catalogue->trust();
    if (trust.state != TrustState::Signed && requiresSigned(options)) {
        std::fprintf(
            stderr, "upkeepctl: %s\n",
            trust.state == TrustState::Unsigned
                ? message(text::kPackageUnsigned).c_str()
                : message(text::kPackageRefused, {terminalText("untrusted: " + trust.reason)})
                      .c_str());
        return nullptr;
    }
    return catalogue;
}

std::string message(int id) {
    return resources::text(id);
}

}  // namespace upkeep::cli
