// upkeepctl history: the downloads recorded in the history file, oldest
// first, optionally of one printer.

#include <algorithm>
#include <cstdio>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/TerminalText.h"
#include "printer/DownloadHistory.h"

namespace upkeep::cli {

int historyCommand(const Args& args);

namespace {

const Command& self() {
    return commandNamed("history");
}

void printTable(const std::vector<history::Record>& records) {
    struct Row {
        std::string time, printer, before, file, outcome, verification;
    };
    std::vector<Row> rows{{"Time", message(160), "Before", "File", "Outcome", "Verification"}};
    for (const history::Record& r : records) {
        rows.push_back({terminalText(r.time), terminalText(r.printer),
                        terminalText(r.model + " " + r.version), terminalText(r.file.path),
                        terminalText(r.outcome), terminalText(r.verification)});
    }
    std::size_t w[5] = {};
    for (const Row& r : rows) {
        const std::string* cells[5] = {&r.time, &r.printer, &r.before, &r.file, &r.outcome};
        for (int i = 0; i < 5; ++i)
            w[i] = std::max(w[i], cells[i]->size());
    }
    for (const Row& r : rows) {
        std::printf("%-*s  %-*s  %-*s  %-*s  %-*s  %s\n", static_cast<int>(w[0]), r.time.c_str(),
                    static_cast<int>(w[1]), r.printer.c_str(), static_cast<int>(w[2]),
                    r.before.c_str(), static_cast<int>(w[3]), r.file.c_str(),
                    static_cast<int>(w[4]), r.outcome.c_str(), r.verification.c_str());
    }
}

}  // namespace

int historyCommand(const Args& args) {
    Options options;
    Args rest;
    std::optional<std::string> printer;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--printer") {
            rest.push_back(args[i]);
        } else if (i + 1 < args.size()) {
            printer = args[++i];
        } else {
            return usageError(self(), "--printer needs a name");
        }
    }
    if (auto code = parseOptions(self(), rest, options, {"--json"}))
        return *code;
    if (!options.positional.empty())
        return usageError(self(), "unexpected argument '" + options.positional.front() + "'");
    const std::string file = history::path();
    if (file.empty())
        return fail(kExitFailed, "no history file: neither UPKEEP_HISTORY nor HOME is set");
    history::Contents contents = history::read(file);
    if (!contents.problem.empty())
        return fail(kExitFailed, contents.problem);
    for (const std::string& warning : contents.warnings)
        std::fprintf(stderr, "upkeepctl: warning: %s\n", warning.c_str());
    std::vector<history::Record> records;
    for (history::Record& r : contents.records) {
        // A printer by the name it was sent under (a queue, a typed
        // address) or by its port (the address and data port as used).
        if (!printer || r.printer == *printer || r.port == *printer)
            records.push_back(std::move(r));
    }
    if (options.json) {
        std::printf("[");
        for (std::size_t i = 0; i < records.size(); ++i)
            std::printf("%s\n  %s", i ? "," : "", history::toLine(records[i]).c_str());
        std::printf("%s]\n", records.empty() ? "" : "\n");
    } else {
        printTable(records);
    }
    return kExitOk;
}

}  // namespace upkeep::cli
