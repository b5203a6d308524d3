// upkeepctl check: analyses printers, several at once, and prints one row
// per target in the order given.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
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

const Command& checkCommandLine() {
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

// The state of the package the printer was compared with: signed,
// unsigned or untrusted; null without one.
std::string packageState() {
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    return catalogue && !catalogue->notLoaded() ? jsonString(catalogue->trust().stateText())
                                                : std::string("null");
}

// One printer as --json lists it and --json-lines streams it.
std::string jsonObject(const Printer& p) {
    const PrinterFacts f = p.facts();
    const PrinterState effective = f.effectiveState();
    const PortDescriptor& port = p.portDescriptor();
    std::string out = "{\"name\": " + jsonString(p.name()) +
                      ", \"state\": " + jsonString(stateName(f.state)) +
                      ", \"effectiveState\": " + jsonString(stateName(effective)) +
                      // English, as all of --json: the same in every language.
                      ", \"stateText\": " + jsonString(english(stateDisplay(effective).stringId)) +
                      ", \"model\": " + jsonString(f.model.view()) +
                      ", \"version\": " + jsonString(f.version.view()) +
                      ", \"modelText\": " + jsonString(f.modelText()) +
                      ", \"versionText\": " + jsonString(f.versionText()) +
                      ", \"portType\": " + jsonString(portTypeName(port.portType())) +
                      ", \"port\": " + jsonString(port.name().view()) +
                      ", \"available\": " + available(f.state, f.model.view(), f.version.view()) +
                      ", \"package\": " + packageState() + ", \"subsystems\": [";
    for (std::size_t s = 0; s < f.subsystemCount; ++s) {
        out += std::string(s ? ", " : "") +
               "{\"model\": " + jsonString(f.subsystemModels[s].view()) +
               ", \"version\": " + jsonString(f.subsystemVersions[s].view()) +
               ", \"state\": " + jsonString(stateName(f.subsystemStates[s])) + ", \"available\": " +
               available(f.subsystemStates[s], f.subsystemModels[s].view(),
                         f.subsystemVersions[s].view()) +
               "}";
    }
    // What an upgrade would send: subsystems first, then the printer,
    // in the order upgrade sends them.
    out += "], \"upgrades\": [";
    bool first = true;
    if (effective == PrinterState::UpgradeAvailable) {
        for (const CatalogueEntry* entry : p.upgradeEntries()) {
            if (!entry)
                continue;
            out += std::string(first ? "" : ", ") +
                   "{\"model\": " + jsonString(entry->model().str()) +
                   ", \"version\": " + jsonString(entry->version().str()) +
                   ", \"file\": " + jsonString(entry->fileName().str()) + "}";
            first = false;
        }
    }
    return out + "]}";
}

void printJson(const std::vector<std::shared_ptr<Printer>>& printers) {
    std::printf("[");
    for (std::size_t i = 0; i < printers.size(); ++i)
        std::printf("%s\n  %s", i ? "," : "", jsonObject(*printers[i]).c_str());
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
    // A switched-off printer costs the sweep a small record, not a thread:
    // every request goes out at once, so the fleet takes about one time-out.
    options.parallel = kAllAtOnce;
    if (auto code =
            parseOptions(checkCommandLine(), args, options,
                         {"--json", "--json-lines", "--metrics", "--parallel", "--package",
                          "--community", "--all", "--fail-on", "--keyring", "--require-signed"})) {
        return *code;
    }
    if (int(options.json) + int(options.jsonLines) + int(options.metrics) > 1) {
        return usageError(checkCommandLine(),
                          message(text::kExcludeEachOther, {"--json, --json-lines", "--metrics"}));
    }
    std::vector<std::string> failing;
    for (const std::string& name : options.failOn) {
        std::optional<std::string> state = failOnState(name);
        if (!state)
            return usageError(checkCommandLine(), message(text::kNoState, {"--fail-on", name}));
        failing.push_back(*state);
    }
    if (options.positional.empty() && !options.all)
        return usageError(checkCommandLine(), message(text::kExpected, {"TARGET..."}));
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
            return usageError(checkCommandLine(), targetError(target));
        // Its row reads "Could not access"; this says why.
        if (auto missing = missingPort(*port))
            std::fprintf(stderr, "upkeepctl: %s: %s\n", terminalText(target).c_str(),
                         shown(*missing).c_str());
        printers.push_back(std::make_shared<Printer>(target, *port));
    }
    {
        // The wait for silent printers is a read time-out: show it is alive.
        StatusLine status;
        const std::string asked = std::to_string(printers.size());
        status.show(message(text::kAnswered, {"0", asked}));
        std::size_t answered = 0;
        std::chrono::steady_clock::time_point drawn;
        analyseAll(printers, options.parallel, [&](const Printer& printer) {
            // Each line goes out whole as its printer's answer arrives, so
            // that a reader of a large fleet starts before the sweep ends.
            if (options.jsonLines) {
                std::printf("%s\n", jsonObject(printer).c_str());
                std::fflush(stdout);
            }
            ++answered;
            const auto now = std::chrono::steady_clock::now();
            if (answered == printers.size() || now - drawn > std::chrono::milliseconds(50)) {
                status.show(message(text::kAnswered, {std::to_string(answered), asked}));
                drawn = now;
            }
        });
    }
    // Rows that read "Could not access" for want of a descriptor would be
    // false: none are printed.
    if (auto problem = resourceProblem())
        return fail(kExitFailed, *problem);
    if (options.jsonLines) {
        // Streamed already.
    } else if (options.json) {
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
