// upkeepctl check: analyses printers, several at once, and prints one row
// per target in the order given.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/Fleet.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Progress.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "cli/Utf8.h"
#include "package/CatalogueEntry.h"
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
            // English, as all of --json: the same in every language.
            jsonString(english(stateDisplay(effective).stringId)).c_str(),
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
        // What an upgrade would send: subsystems first, then the printer,
        // in the order upgrade sends them.
        std::printf("], \"upgrades\": [");
        bool first = true;
        if (effective == PrinterState::UpgradeAvailable) {
            for (const CatalogueEntry* entry : p.upgradeEntries()) {
                if (!entry)
                    continue;
                std::printf("%s{\"model\": %s, \"version\": %s, \"file\": %s}", first ? "" : ", ",
                            jsonString(entry->model().str()).c_str(),
                            jsonString(entry->version().str()).c_str(),
                            jsonString(entry->fileName().str()).c_str());
                first = false;
            }
        }
        std::printf("]}");
    }
    std::printf("%s]\n", printers.empty() ? "" : "\n");
}

// A label value of the text exposition format: valid UTF-8 (other bytes
// become U+FFFD), with backslash, double quote and newline escaped.
std::string labelValue(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Piece piece = utf8Piece(text, i);
        if (!piece.valid) {
            out += "\xEF\xBF\xBD";
        } else if (text[i] == '\\') {
            out += "\\\\";
        } else if (text[i] == '"') {
            out += "\\\"";
        } else if (text[i] == '\n') {
            out += "\\n";
        } else {
            out.append(text.substr(i, piece.length));
        }
        i += piece.length;
    }
    return out;
}

// The fleet for a textfile collector: one sample per printer and metric,
// labelled with the printer's name, model and version.
void printMetrics(const std::vector<std::shared_ptr<Printer>>& printers) {
    struct Sample {
        std::string labels;
        PrinterState effective;
    };
    std::vector<Sample> samples;
    std::set<std::string> seen;
    for (const auto& p : printers) {
        const PrinterFacts f = p->facts();
        std::string labels = "printer=\"" + labelValue(p->name()) + "\",model=\"" +
                             labelValue(f.model.view()) + "\",version=\"" +
                             labelValue(f.version.view()) + "\"";
        // A collector refuses a whole file with a series in it twice, as
        // a target named twice would give.
        if (!seen.insert(labels).second)
            continue;
        samples.push_back({std::move(labels), f.effectiveState()});
    }
    auto answered = [](PrinterState s) {
        return s == PrinterState::UpToDate || s == PrinterState::UpgradeAvailable ||
               s == PrinterState::Unsupported;
    };
    std::printf(
        "# HELP upkeep_printer_reachable Whether the printer answered the check (1) or not (0).\n"
        "# TYPE upkeep_printer_reachable gauge\n");
    for (const Sample& s : samples)
        std::printf("upkeep_printer_reachable{%s} %d\n", s.labels.c_str(), answered(s.effective));
    std::printf(
        "# HELP upkeep_printer_upgrade_available Whether the package has an upgrade for the "
        "printer or one of its subsystems (1) or not (0).\n"
        "# TYPE upkeep_printer_upgrade_available gauge\n");
    for (const Sample& s : samples) {
        std::printf("upkeep_printer_upgrade_available{%s} %d\n", s.labels.c_str(),
                    s.effective == PrinterState::UpgradeAvailable);
    }
    std::printf(
        "# HELP upkeep_printer_state The printer's state, in the label state: upToDate, "
        "upgradeAvailable, notReachable, unsupported or unsupportedConnection; the value is "
        "always 1.\n"
        "# TYPE upkeep_printer_state gauge\n");
    for (const Sample& s : samples) {
        std::printf("upkeep_printer_state{%s,state=\"%s\"} 1\n", s.labels.c_str(),
                    stateName(s.effective));
    }
    std::printf(
        "# HELP upkeep_check_timestamp_seconds When the check ended, in seconds since the "
        "epoch.\n"
        "# TYPE upkeep_check_timestamp_seconds gauge\n"
        "upkeep_check_timestamp_seconds %lld\n",
        static_cast<long long>(std::time(nullptr)));
}

void printTable(const std::vector<std::shared_ptr<Printer>>& printers) {
    std::vector<std::vector<std::string>> rows{
        {message(160), message(161), message(162), message(163)}};
    for (const auto& p : printers) {
        PrinterFacts f = p->facts();
        rows.push_back({terminalText(p->name()), message(stateDisplay(f.effectiveState()).stringId),
                        terminalText(f.modelText()), terminalText(f.versionText())});
    }
    std::fputs(columns(rows).c_str(), stdout);
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
    if (auto code = parseOptions(self(), args, options,
                                 {"--json", "--metrics", "--parallel", "--package", "--community",
                                  "--all", "--fail-on", "--keyring", "--require-signed"})) {
        return *code;
    }
    if (options.json && options.metrics)
        return usageError(self(), message(text::kExcludeEachOther, {"--json", "--metrics"}));
    std::vector<std::string> failing;
    for (const std::string& name : options.failOn) {
        std::optional<std::string> state = failOnState(name);
        if (!state)
            return usageError(self(), message(text::kNoState, {"--fail-on", name}));
        failing.push_back(*state);
    }
    if (options.positional.empty() && !options.all)
        return usageError(self(), message(text::kExpected, {"TARGET..."}));
    if (!loadPackage(options))
        return kExitFailed;

    std::vector<std::shared_ptr<Printer>> printers;
    if (options.all) {
        auto found = discoveredPrinters();
        if (!found)
            return fail(kExitFailed, message(text::kSpoolerNotAsked, {}));
        printers = std::move(*found);
    }
    for (const std::string& target : options.positional) {
        auto port = resolveTarget(target);
        if (!port)
            return usageError(self(), targetError(target));
        // Its row reads "Could not access"; this says why.
        if (auto missing = missingPort(*port))
            std::fprintf(stderr, "upkeepctl: %s: %s\n", terminalText(target).c_str(),
                         shown(*missing).c_str());
        printers.push_back(std::make_shared<Printer>(target, *port));
    }
    {
        // The wait for silent printers is a read time-out: show it is alive.
        StatusLine status;
        analyseAll(printers, options.parallel, [&](std::size_t answered, std::size_t asked) {
            status.show(
                message(text::kAnswered, {std::to_string(answered), std::to_string(asked)}));
        });
    }
    // Rows that read "Could not access" for want of a descriptor would be
    // false: none are printed.
    if (auto problem = resourceProblem())
        return fail(kExitFailed, *problem);
    if (options.json) {
        printJson(printers);
    } else if (options.metrics) {
        printMetrics(printers);
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
