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
#include "cli/Texts.h"
#include "discovery/FindPrinters.h"
#include "printer/PrinterList.h"

namespace upkeep::cli {

int printersCommand(const Args& args);

namespace {

const Command& printersCommandLine() {
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

void printTable(const std::vector<Row>& found) {
    std::vector<std::vector<std::string>> rows{
        {message(160), message(text::kPortType, {}), message(text::kPort, {})}};
    for (const Row& r : found)
        rows.push_back({terminalText(r.name), r.type, terminalText(r.port)});
    std::fputs(columns(rows).c_str(), stdout);
}

}  // namespace

int printersCommand(const Args& args) {
    Options options;
    if (auto code = parseOptions(printersCommandLine(), args, options, {"--json"}))
        return *code;
    if (!options.positional.empty())
        return usageError(printersCommandLine(),
                          message(text::kUnexpectedArgument, {options.positional.front()}));

    PrinterList list(PrinterList::kUnbounded);
    std::vector<discovery::QueueReport> queues;
    if (!discovery::findSystemPrinters(list, &queues))
        return fail(kExitFailed, message(text::kSpoolerNotAsked, {}));
    if (options.json) {
        printJson(queues);
        return kExitOk;
    }
    std::vector<Row> rows;
    for (const discovery::QueueReport& q : queues) {
        if (q.listed) {
            rows.push_back({q.printer, portTypeName(q.type),
                            q.name.empty() ? message(text::kNotReachable, {q.problem}) : q.name});
        }
    }
    printTable(rows);
    return kExitOk;
}

}  // namespace upkeep::cli
