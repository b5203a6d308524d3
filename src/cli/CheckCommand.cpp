// upkeepctl check: analyses printers, several at once, and prints one row
// per target in the order given.

#include <cstdio>
#include <memory>
#include <vector>

#include "cli/Command.h"
#include "cli/Fleet.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/TerminalText.h"
#include "printer/Printer.h"

namespace upkeep::cli {

int checkCommand(const Args& args);

namespace {

const Command& self() {
    return commandNamed("check");
}

void printJson(const std::vector<std::shared_ptr<Printer>>& printers) {
    std::printf("[");
    for (std::size_t i = 0; i < printers.size(); ++i) {
        const Printer& p = *printers[i];
        PrinterFacts f = p.facts();
        PrinterState effective = f.effectiveState();
        std::printf(
            "%s\n  {\"name\": %s, \"state\": %s, \"effectiveState\": %s, \"stateText\": %s, "
            "\"model\": %s, \"version\": %s, \"modelText\": %s, \"versionText\": %s, "
            "\"subsystems\": [",
            i ? "," : "", jsonString(p.name()).c_str(), jsonString(stateName(f.state)).c_str(),
            jsonString(stateName(effective)).c_str(),
            jsonString(message(stateDisplay(effective).stringId)).c_str(),
            jsonString(f.model.view()).c_str(), jsonString(f.version.view()).c_str(),
            jsonString(f.modelText()).c_str(), jsonString(f.versionText()).c_str());
        for (std::size_t s = 0; s < f.subsystemCount; ++s) {
            std::printf("%s{\"model\": %s, \"version\": %s, \"state\": %s}", s ? ", " : "",
                        jsonString(f.subsystemModels[s].view()).c_str(),
                        jsonString(f.subsystemVersions[s].view()).c_str(),
                        jsonString(stateName(f.subsystemStates[s])).c_str());
        }
        std::printf("]}");
    }
    std::printf("%s]\n", printers.empty() ? "" : "\n");
}

void printTable(const std::vector<std::shared_ptr<Printer>>& printers) {
    std::size_t nameWidth = 4, stateWidth = 5, modelWidth = 5;
    struct Row {
        std::string name, state, model, version;
    };
    std::vector<Row> rows;
    for (const auto& p : printers) {
        PrinterFacts f = p->facts();
        rows.push_back({terminalText(p->name()), message(stateDisplay(f.effectiveState()).stringId),
                        terminalText(f.modelText()), terminalText(f.versionText())});
        nameWidth = std::max(nameWidth, rows.back().name.size());
        stateWidth = std::max(stateWidth, rows.back().state.size());
        modelWidth = std::max(modelWidth, rows.back().model.size());
    }
    auto line = [&](const std::string& a, const std::string& b, const std::string& c,
                    const std::string& d) {
        std::printf("%-*s  %-*s  %-*s  %s\n", static_cast<int>(nameWidth), a.c_str(),
                    static_cast<int>(stateWidth), b.c_str(), static_cast<int>(modelWidth),
                    c.c_str(), d.c_str());
    };
    line(message(160), message(161), message(162), message(163));
    for (const Row& r : rows)
        line(r.name, r.state, r.model, r.version);
}

}  // namespace

int checkCommand(const Args& args) {
    Options options;
    // A site's switched-off printers each hold a thread for a read time-out:
    // with this many at once, a thousand printers of which a quarter are
    // silent cost under two time-outs, in some 25 MiB.
    options.parallel = 512;
    if (auto code = parseOptions(self(), args, options,
                                 {"--json", "--parallel", "--package", "--community", "--all",
                                  "--keyring", "--require-signed"})) {
        return *code;
    }
    if (options.positional.empty() && !options.all)
        return usageError(self(), "expected TARGET...");
    if (!loadPackage(options))
        return kExitFailed;

    std::vector<std::shared_ptr<Printer>> printers;
    if (options.all) {
        auto found = discoveredPrinters();
        if (!found)
            return fail(kExitFailed, "the print spooler cannot be asked for its printers");
        printers = std::move(*found);
    }
    for (const std::string& target : options.positional) {
        auto port = parseTarget(target);
        if (!port)
            return usageError(self(), targetError(target));
        printers.push_back(std::make_shared<Printer>(target, *port));
    }
    analyseAll(printers, options.parallel);
    // Rows that read "Could not access" for want of a descriptor would be
    // false: none are printed.
    if (auto problem = resourceProblem())
        return fail(kExitFailed, *problem);
    if (options.json) {
        printJson(printers);
    } else {
        printTable(printers);
    }
    return kExitOk;
}

}  // namespace upkeep::cli
