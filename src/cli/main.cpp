// upkeepctl: the command-line front end over the same core as the desktop
// program, for administrators and scripts.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "cli/Utf8.h"
#include "platform/Descriptors.h"
#include "resources/Strings.h"
#include "version/Version.h"

namespace upkeep::cli {

int queryCommand(const Args& args);
int catalogueCommand(const Args& args);
int checkCommand(const Args& args);
int upgradeCommand(const Args& args);
int downgradeCommand(const Args& args);
int sendCommand(const Args& args);
int profilesCommand(const Args& args);
int addProfileCommand(const Args& args);
int printersCommand(const Args& args);
int historyCommand(const Args& args);

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"query", "query ADDRESS OID_A OID_B [--community TEXT] [--json]", text::kFirstSummary + 0,
         queryCommand},
        {"catalogue", "catalogue [--package DIR] [--keyring FILE] [--json]",
         text::kFirstSummary + 1, catalogueCommand},
        {"check",
         "check TARGET... [--all] [--parallel N] [--package DIR] [--keyring FILE] "
         "[--require-signed] [--community TEXT] [--json | --json-lines | --metrics] "
         "[--fail-on STATE,...]",
         text::kFirstSummary + 2, checkCommand},
        {"upgrade",
         "upgrade TARGET... [--all] [--parallel N] [--verify] [--verify-timeout S] [--yes] "
         "[--dry-run] [--package DIR] "
         "[--keyring FILE] [--require-signed] [--community TEXT] [--json]",
         text::kFirstSummary + 3, upgradeCommand},
        {"downgrade",
         "downgrade TARGET VERSION [--verify] [--verify-timeout S] [--yes] [--package DIR] "
         "[--keyring FILE] "
         "[--require-signed] [--community TEXT] [--json]",
         text::kFirstSummary + 4, downgradeCommand},
        {"send",
         "send TARGET FILE [--verify] [--verify-timeout S] [--yes] [--package DIR] [--keyring "
         "FILE] [--require-signed] "
         "[--community TEXT] [--json]",
         text::kFirstSummary + 5, sendCommand},
        {"profiles", "profiles TARGET [--community TEXT] [--json]", text::kFirstSummary + 6,
         profilesCommand},
        {"add-profile", "add-profile TARGET FILE [--yes] [--json]", text::kFirstSummary + 7,
         addProfileCommand},
        {"printers", "printers [--json]", text::kFirstSummary + 8, printersCommand},
        {"history", "history [--printer NAME] [--json]", text::kFirstSummary + 9, historyCommand},
    };
    return table;
}

const Command& commandNamed(std::string_view name) {
    for (const Command& c : commands()) {
        if (name == c.name)
            return c;
    }
    return commands().front();
}

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "upkeepctl: %s\n", message.c_str());
    return code;
}

int usageError(const Command& command, const std::string& message) {
    std::fprintf(stderr, "upkeepctl %s: %s\n%s upkeepctl %s\n", command.name, message.c_str(),
                 cli::message(text::kUsage, {}).c_str(), command.usage);
    return kExitUsage;
}

namespace {

void printHelp(std::FILE* out) {
    // The headings line up with "usage:" in every language.
    const std::string usage = message(text::kUsage, {});
    const std::string indent(displayWidth(usage), ' ');
    std::fprintf(out,
                 "%s upkeepctl COMMAND [ARGS]\n"
                 "%s upkeepctl COMMAND --help\n"
                 "%s upkeepctl --version [--json]\n"
                 "%s upkeepctl --help\n\n%s\n",
                 usage.c_str(), indent.c_str(), indent.c_str(), indent.c_str(),
                 message(text::kCommands, {}).c_str());
    for (const Command& command : commands()) {
        std::fprintf(out, "  %s\n      %s\n", command.usage, message(command.summary, {}).c_str());
    }
    std::fprintf(out, "\n%s\n%s\n", message(text::kTargets, {}).c_str(),
                 message(text::kExitCodes, {}).c_str());
}

// Each option a usage names, with the number of its description.
struct OptionText {
    std::string_view name;
    int id;
};
constexpr OptionText kOptionTexts[] = {
    {"--json", text::kFirstOption},          {"--all", text::kFirstOption + 1},
    {"--parallel", text::kFirstOption + 2},  {"--package", text::kFirstOption + 3},
    {"--keyring", text::kFirstOption + 4},   {"--require-signed", text::kFirstOption + 5},
    {"--community", text::kFirstOption + 6}, {"--metrics", text::kFirstOption + 7},
    {"--fail-on", text::kFirstOption + 8},   {"--verify", text::kFirstOption + 9},
    {"--yes", text::kFirstOption + 10},      {"--dry-run", text::kFirstOption + 11},
    {"--printer", text::kFirstOption + 12},  {"--verify-timeout", text::kFirstOption + 13},
};

// "upkeepctl COMMAND --help": the usage, what the command does, and each
// option of the usage (read from it, so the two cannot differ) described.
void printCommandHelp(const Command& command) {
    std::printf("%s upkeepctl %s\n\n%s\n", message(text::kUsage, {}).c_str(), command.usage,
                message(command.summary, {}).c_str());
    if (std::string_view(command.usage).find("TARGET") != std::string_view::npos)
        std::printf("%s\n", message(text::kTargets, {}).c_str());
    std::vector<std::vector<std::string>> rows;
    const std::string_view usage = command.usage;
    for (std::size_t at = usage.find("--"); at != std::string_view::npos;
         at = usage.find("--", at + 2)) {
        // "--parallel N" up to its closing bracket or the bar before another.
        std::size_t end = std::min(usage.find(']', at), usage.find(" |", at));
        const std::string_view option = usage.substr(at, std::min(end, usage.size()) - at);
        const std::string_view name = option.substr(0, option.find(' '));
        for (const OptionText& known : kOptionTexts) {
            if (known.name == name)
                rows.push_back({"  " + std::string(option), message(known.id, {})});
        }
    }
    rows.push_back({"  --help", message(text::kHelpOption, {})});
    std::printf("\n%s\n%s", message(text::kOptions, {}).c_str(), columns(rows).c_str());
}

// "upkeepctl VERSION", or with --json the same as an object.
int printVersion(const Args& args) {
    const bool json = args.size() == 1 && args[0] == "--json";
    if (!args.empty() && !json) {
        std::fprintf(stderr, "usage: upkeepctl --version [--json]\n");
        return kExitUsage;
    }
    if (json) {
        std::printf("{\"program\": \"upkeepctl\", \"version\": %s}\n",
                    jsonString(upkeep::versionText()).c_str());
    } else {
        std::printf("upkeepctl %s\n", upkeep::versionText());
    }
    return kExitOk;
}

// Output that never reached its reader is a failure, whatever the command
// made of it: a script must not take a cut table or JSON for the whole.
int checkedOutput(int code) {
    std::cout.flush();
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout) && std::cout.good())
        return code;
    std::fprintf(stderr, "upkeepctl: %s%s%s\n", message(text::kCannotWriteOutput, {}).c_str(),
                 error ? ": " : "", error ? std::strerror(error) : "");
    return code == kExitOk ? kExitFailed : code;
}

int dispatch(int argc, char** argv) {
    if (argc < 2) {
        printHelp(stderr);
        return kExitUsage;
    }
    std::string name = argv[1];
    // "help COMMAND" as "COMMAND --help".
    const bool helpOf = name == "help" && argc == 3;
    if (helpOf)
        name = argv[2];
    if (name == "-h" || name == "--help" || name == "help") {
        printHelp(stdout);
        return kExitOk;
    }
    if (name == "--version")
        return printVersion(Args(argv + 2, argv + argc));
    for (const Command& command : commands()) {
        if (name != command.name)
            continue;
        Args args(argv + 2, argv + argc);
        // Before any other argument is looked at: help is never a usage error.
        if (helpOf || std::find(args.begin(), args.end(), "--help") != args.end()) {
            printCommandHelp(command);
            return kExitOk;
        }
        return command.run(args);
    }
    std::fprintf(stderr, "upkeepctl: %s\n", message(text::kUnknownCommand, {name}).c_str());
    printHelp(stderr);
    return kExitUsage;
}

}  // namespace
}  // namespace upkeep::cli

int main(int argc, char** argv) {
    using namespace upkeep::cli;
    // Messages in the language of the user's locale, as the desktop program.
    upkeep::resources::chooseLanguage(0);
    // A fleet needs a descriptor a printer in flight: all the system allows.
    upkeep::platform::raiseDescriptorLimit();
    return checkedOutput(dispatch(argc, argv));
}
