// upkeepctl: the command-line front end over the same core as the desktop
// program, for administrators and scripts.

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Command.h"

namespace upkeep::cli {

int queryCommand(const Args& args);
int catalogueCommand(const Args& args);

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"query", "query ADDRESS OID_A OID_B [--community TEXT] [--json]",
         "ask a network printer for two SNMP objects", queryCommand},
        {"catalogue", "catalogue [--package DIR] [--json]", "show the loaded firmware catalogue", catalogueCommand},
    };
    return table;
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
    std::fprintf(out, "usage: upkeepctl COMMAND [ARGS]\n\ncommands:\n");
    for (const Command& command : commands()) {
        std::fprintf(out, "  %s\n      %s\n", command.usage, command.summary);
    }
    std::fprintf(out, "\nexit codes: 0 success, 1 the operation failed, 2 usage error\n");
}

}  // namespace
}  // namespace upkeep::cli

int main(int argc, char** argv) {
    using namespace upkeep::cli;
    if (argc < 2) {
        printHelp(stderr);
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        printHelp(stdout);
        return kExitOk;
    }
    for (const Command& command : commands()) {
        if (name == command.name)
            return command.run(Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "upkeepctl: unknown command '%s'\n", name.c_str());
    printHelp(stderr);
    return kExitUsage;
}
