// upkeepctl: the command-line front end over the same core as the desktop
// program, for administrators and scripts.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "cli/Command.h"
#include "cli/Json.h"
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
        {"query", "query ADDRESS OID_A OID_B [--community TEXT] [--json]",
         "ask a network printer for two SNMP objects", queryCommand},
        {"catalogue", "catalogue [--package DIR] [--keyring FILE] [--json]",
         "show the loaded firmware catalogue", catalogueCommand},
        {"check",
         "check TARGET... [--all] [--parallel N] [--package DIR] [--keyring FILE] "
         "[--require-signed] [--community TEXT] [--json | --json-lines | --metrics] "
         "[--fail-on STATE,...]",
         "analyse printers: state, model and system software version", checkCommand},
        {"upgrade",
         "upgrade TARGET... [--all] [--parallel N] [--verify] [--yes] [--dry-run] [--package DIR] "
         "[--keyring FILE] [--require-signed] [--community TEXT] [--json]",
         "send every upgrade the package has to each printer (at most N at once, default 8)",
         upgradeCommand},
        {"downgrade",
         "downgrade TARGET VERSION [--verify] [--yes] [--package DIR] [--keyring FILE] "
         "[--require-signed] [--community TEXT]",
         "send an older version of the package to the printer", downgradeCommand},
        {"send",
         "send TARGET FILE [--verify] [--yes] [--package DIR] [--keyring FILE] [--require-signed] "
         "[--community TEXT]",
         "send a system software file of your choice (forced download)", sendCommand},
        {"profiles", "profiles TARGET [--community TEXT] [--json]",
         "list the media profiles installed in a printer", profilesCommand},
        {"add-profile", "add-profile TARGET FILE [--yes]",
         "install a media profile file (.pdw) into a printer", addProfileCommand},
        {"printers", "printers [--json]",
         "list the printers the print spooler knows, with their ports", printersCommand},
        {"history", "history [--printer NAME] [--json]",
         "the downloads sent to printers, oldest first", historyCommand},
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
    std::fprintf(stderr, "upkeepctl %s: %s\nusage: upkeepctl %s\n", command.name, message.c_str(),
                 command.usage);
    return kExitUsage;
}

namespace {

void printHelp(std::FILE* out) {
    std::fprintf(out,
                 "usage: upkeepctl COMMAND [ARGS]\n"
                 "       upkeepctl --version [--json]\n"
                 "       upkeepctl --help\n\ncommands:\n");
    for (const Command& command : commands()) {
        std::fprintf(out, "  %s\n      %s\n", command.usage, command.summary);
    }
    std::fprintf(
        out,
        "\nTARGET is a dotted address or host name, ipx:NET.NODE, usb:DEVICE-PATH or lpt:.\n"
        "exit codes: 0 success, 1 the operation failed, 2 usage error\n");
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
    std::fprintf(stderr, "upkeepctl: cannot write the standard output%s%s\n", error ? ": " : "",
                 error ? std::strerror(error) : "");
    return code == kExitOk ? kExitFailed : code;
}

int dispatch(int argc, char** argv) {
    if (argc < 2) {
        printHelp(stderr);
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        printHelp(stdout);
        return kExitOk;
    }
    if (name == "--version")
        return printVersion(Args(argv + 2, argv + argc));
    for (const Command& command : commands()) {
        if (name == command.name)
            return command.run(Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "upkeepctl: unknown command '%s'\n", name.c_str());
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
