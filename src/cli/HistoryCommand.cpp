// upkeepctl history: the downloads recorded in the history file, oldest
// first, optionally of one printer.

#include <algorithm>
#include <cstdio>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "printer/DownloadHistory.h"

namespace upkeep::cli {

int historyCommand(const Args& args);

namespace {

const Command& historyCommandLine() {
    return commandNamed("history");
}

void printTable(const std::vector<history::Record>& records) {
    std::vector<std::vector<std::string>> rows{
        {message(text::kTime, {}), message(160), message(text::kBefore, {}),
         message(text::kFile, {}), message(text::kOutcome, {}), message(text::kVerification, {})}};
    for (const history::Record& r : records) {
        rows.push_back({terminalText(r.time), terminalText(r.printer),
                        terminalText(r.model + " " + r.version), terminalText(r.file.path),
                        terminalText(outcomeShown(r.outcome)),
                        terminalText(shown(r.verification))});
    }
    std::fputs(columns(rows).c_str(), stdout);
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
            return usageError(historyCommandLine(), message(text::kNeedsValue, {"--printer"}));
        }
    }
    if (auto code = parseOptions(historyCommandLine(), rest, options, {"--json"}))
        return *code;
    if (!options.positional.empty())
        return usageError(historyCommandLine(),
                          message(text::kUnexpectedArgument, {options.positional.front()}));
    const std::string file = history::path();
    if (file.empty())
        return fail(kExitFailed, message(text::kNoHistoryFile, {}));
    history::Contents contents = history::read(file);
    if (!contents.problem.empty())
        return fail(kExitFailed, contents.problem);
    for (const std::string& warning : contents.warnings)
        std::fprintf(stderr, "upkeepctl: %s\n", message(text::kWarning, {warning}).c_str());
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
