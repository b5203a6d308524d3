// upkeepctl check: analyses printers, several at once, and prints one row
// per target in the order given.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "cli/Command.h"
#include "cli/Fleet.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/TerminalText.h"
#include "package/FirmwareCatalogue.h"
#include "printer/Identification.h"
#include "printer/Printer.h"

namespace upkeep::cli {

int checkCommand(const Args& args);

namespace {

const Command& self() {
    return commandNamed("check");
}

// The version an upgrade would bring a model at this version, or null.
std::string available(PrinterState state, std::string_view model, std::string_view version) {
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    const CatalogueEntry* newest = state == PrinterState::UpgradeAvailable && catalogue
                                       ? catalogue->newestEntry(model, version)
                                       : nullptr;
    return newest ? jsonString(newest->version().view()) : std::string("null");
}

void printJson(const std::vector<std::shared_ptr<Printer>>& printers) {
    std::printf("[");
    for (std::size_t i = 0; i < printers.size(); ++i) {
        const Printer& p = *printers[i];
        PrinterFacts f = p.facts();
        PrinterState effective = f.effectiveState();
        const PortDescriptor& port = p.portDescriptor();
        std::printf(
            "%s\n  {\"name\": %s, \"state\": %s, \"effectiveState\": %s, \"stateText\": %s, "
            "\"model\": %s, \"version\": %s, \"modelText\": %s, \"versionText\": %s, "
            "\"portType\": %s, \"port\": %s, \"available\": %s, \"subsystems\": [",
            i ? "," : "", jsonString(p.name()).c_str(), jsonString(stateName(f.state)).c_str(),
            jsonString(stateName(effective)).c_str(),
            jsonString(message(stateDisplay(effective).stringId)).c_str(),
            jsonString(f.model.view()).c_str(), jsonString(f.version.view()).c_str(),
            jsonString(f.modelText()).c_str(), jsonString(f.versionText()).c_str(),
            jsonString(portTypeName(port.portType())).c_str(),
            jsonString(port.name().view()).c_str(),
            available(f.state, f.model.view(), f.version.view()).c_str());
        for (std::size_t s = 0; s < f.subsystemCount; ++s) {
            std::printf("%s{\"model\": %s, \"version\": %s, \"state\": %s, \"available\": %s}",
                        s ? ", " : "", jsonString(f.subsystemModels[s].view()).c_str(),
                        jsonString(f.subsystemVersions[s].view()).c_str(),
                        jsonString(stateName(f.subsystemStates[s])).c_str(),
                        available(f.subsystemStates[s], f.subsystemModels[s].view(),
                                  f.subsystemVersions[s].view())
                            .c_str());
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

// A state --fail-on names: as --json gives it, or "unreachable" or "upgrade".
std::optional<std::string> failOnState(const std::string& name) {
    if (name == "unreachable")
        return "notReachable";
    if (name == "upgrade")
        return "upgradeAvailable";
    for (PrinterState state :
         {PrinterState::NotAnalysed, PrinterState::Canceled, PrinterState::NotReachable,
          PrinterState::Unsupported, PrinterState::UpgradeAvailable,
          PrinterState::UnsupportedConnection, PrinterState::UpToDate}) {
        if (name == stateName(state))
            return name;
    }
    return std::nullopt;
}

}  // namespace

int checkCommand(const Args& args) {
    Options options;
    // A site's switched-off printers each hold a thread for a read time-out:
    // with this many at once, a thousand printers of which a quarter are
    // silent cost under two time-outs, in some 25 MiB.
    options.parallel = 512;
    if (auto code = parseOptions(
            self(), args, options,
            {"--json", "--parallel", "--package", "--community", "--all", "--fail-on"})) {
        return *code;
    }
    std::vector<std::string> failing;
    for (const std::string& name : options.failOn) {
        std::optional<std::string> state = failOnState(name);
        if (!state)
            return usageError(self(), "--fail-on: no state '" + name + "'");
        failing.push_back(*state);
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
    // For monitoring: a fleet with a printer in a named state fails.
    for (const auto& printer : printers) {
        const std::string state = stateName(printer->effectiveState());
        if (std::find(failing.begin(), failing.end(), state) != failing.end())
            return kExitFailed;
    }
    return kExitOk;
}

}  // namespace upkeep::cli
