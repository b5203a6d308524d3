// upkeepctl printers: the printers discovery finds on this workstation, each
// with the port it is reached by.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/TerminalText.h"
#include "discovery/FindPrinters.h"
#include "printer/PrinterList.h"

namespace upkeep::cli {

int printersCommand(const Args& args);

namespace {

const Command& self() {
    return commandNamed("printers");
}

struct Row {
    std::string name, type, port;
};

// Every queue, with the device URI it came from and what discovery made
// of it, listed or not.
void printJson(const std::vector<discovery::QueueReport>& queues) {
    std::printf("[");
    for (std::size_t i = 0; i < queues.size(); ++i) {
        const discovery::QueueReport& q = queues[i];
        bool reachable = !q.rule.empty() && !q.name.empty();
        std::printf(
            "%s\n  {\"name\": %s, \"portType\": %s, \"port\": %s, \"deviceUri\": %s, "
            "\"classification\": %s, \"listed\": %s, \"reachable\": %s, \"reason\": %s}",
            i ? "," : "", jsonString(q.printer).c_str(), jsonString(portTypeName(q.type)).c_str(),
            jsonString(q.name).c_str(), jsonString(q.portName).c_str(), jsonString(q.rule).c_str(),
            q.listed ? "true" : "false", reachable ? "true" : "false",
            jsonString(q.problem).c_str());
    }
    std::printf("%s]\n", queues.empty() ? "" : "\n");
}

void printTable(std::vector<Row> rows) {
    Row header{message(160), "Port type", "Port"};
    std::size_t nameWidth = header.name.size(), typeWidth = header.type.size();
    for (Row& r : rows) {
        r.name = terminalText(r.name);
        r.port = terminalText(r.port);
        nameWidth = std::max(nameWidth, r.name.size());
        typeWidth = std::max(typeWidth, r.type.size());
    }
    auto line = [&](const Row& r) {
        std::printf("%-*s  %-*s  %s\n", static_cast<int>(nameWidth), r.name.c_str(),
                    static_cast<int>(typeWidth), r.type.c_str(), r.port.c_str());
    };
    line(header);
    for (const Row& r : rows)
        line(r);
}

}  // namespace

int printersCommand(const Args& args) {
    Options options;
    if (auto code = parseOptions(self(), args, options, {"--json"}))
        return *code;
    if (!options.positional.empty())
        return usageError(self(), "unexpected argument '" + options.positional.front() + "'");

    PrinterList list(PrinterList::kUnbounded);
    std::vector<discovery::QueueReport> queues;
    if (!discovery::findSystemPrinters(list, &queues))
        return fail(kExitFailed, "the print spooler cannot be asked for its printers");
    if (options.json) {
        printJson(queues);
        return kExitOk;
    }
    std::vector<Row> rows;
    for (const discovery::QueueReport& q : queues) {
        if (q.listed) {
            rows.push_back({q.printer, portTypeName(q.type),
                            q.name.empty() ? "not reachable: " + q.problem : q.name});
        }
    }
    printTable(rows);
    return kExitOk;
}

}  // namespace upkeep::cli
