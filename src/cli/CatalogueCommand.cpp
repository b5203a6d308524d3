// upkeepctl catalogue: what the package's firmware catalogue holds, loaded
// exactly as the program loads it.

#include <cstdio>
#include <string>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/TerminalText.h"
#include "package/Environment.h"
#include "package/FirmwareCatalogue.h"
#include "package/PackageTrust.h"
#include "platform/WorkingDirectory.h"

namespace upkeep::cli {
namespace {

const Command& self() {
    return commandNamed("catalogue");
}

template <typename Text>
std::string jsonOrNull(const Text* text) {
    return text != nullptr ? jsonString(text->view()) : std::string("null");
}

std::string jsonOrNull(const std::string& text, bool present) {
    return present ? jsonString(text) : std::string("null");
}

// What the package's check says of an entry's file: "verified", why it
// would be refused, "missing", or "unsigned" for a package without a list.
std::string fileCheck(const FirmwareCatalogue& catalogue, const CatalogueEntry& entry) {
    if (catalogue.trust().state == TrustState::Unsigned)
        return "unsigned";
    std::unique_ptr<Connection> file;
    if (!entry.isUsable() || entry.openFile(&file) != CatalogueEntry::kFound || !file)
        return "missing";
    std::optional<Refusal> refused = checkFileForSending(catalogue, entry, *file);
    return refused ? "refused: " + refused->text : "verified";
}

// An entry's file: "present", "missing", or "notUsable" for a refused line.
std::string entryState(const CatalogueEntry& entry) {
    return !entry.isUsable() ? "notUsable" : entry.fileExists() ? "present" : "missing";
}

std::string trustJson(const PackageTrust& trust) {
    const bool isSigned = trust.state == TrustState::Signed;
    const bool isUntrusted = trust.state == TrustState::Untrusted;
    std::string out = "{\"state\": " + jsonString(trust.stateText());
    out += ", \"fingerprint\": " + jsonOrNull(trust.fingerprint, isSigned);
    out += ", \"userId\": " + jsonOrNull(trust.userId, isSigned);
    out += ", \"reason\": " + jsonOrNull(trust.reason, isUntrusted);
    return out + "}";
}

std::string trustLine(const PackageTrust& trust) {
    switch (trust.state) {
        case TrustState::Signed:
            return "signed by " + terminalText(trust.fingerprint) + " " +
                   terminalText(trust.userId);
        case TrustState::Untrusted:
            return "untrusted: " + terminalText(trust.reason);
        default:
            return "unsigned (no SHA256SUMS)";
    }
}

// The table's own names: loaded, location, date, package, system,
// subsystems, and per model its entries with version, file, state and check.
void printJson(const FirmwareCatalogue& catalogue) {
    FirmwareCatalogue::Oid modelOid, versionOid;
    catalogue.systemPairAsRead(modelOid, versionOid);
    const bool hasSystem = catalogue.hasSystemPair() || catalogue.systemPairRefused();
    auto pair = [](const FirmwareCatalogue::Oid& model, const FirmwareCatalogue::Oid& version,
                   bool present, bool usable) {
        return "{\"model\": " + jsonOrNull(model.str(), present) +
               ", \"version\": " + jsonOrNull(version.str(), present) +
               ", \"usable\": " + (usable ? "true" : "false") + "}";
    };

    std::string out = "{";
    out += std::string("\"loaded\": ") + (catalogue.notLoaded() ? "false" : "true");
    out += ", \"location\": " + jsonOrNull(catalogue.location());
    out += ", \"date\": " + jsonOrNull(catalogue.date());
    out += ", \"package\": " + trustJson(catalogue.trust());
    out += ", \"system\": " +
           pair(modelOid, versionOid, hasSystem, hasSystem && !catalogue.systemPairRefused());
    out += ", \"subsystems\": [";
    for (std::size_t i = 0; i < catalogue.subsystemCount(); ++i) {
        FirmwareCatalogue::Oid model, version;
        const bool usable = catalogue.subsystemPair(i, model, version);
        out += (i ? ", " : "") + pair(model, version, true, usable);
    }
    out += "], \"models\": [";
    for (const CatalogueNode* group = catalogue.groups(); group != nullptr;
         group = group->nextGroup()) {
        out += group == catalogue.groups() ? "" : ", ";
        out += "{\"model\": " + jsonString(group->sectionName());
        out += std::string(", \"optional\": ") + (group->sectionOptional() ? "true" : "false");
        out += std::string(", \"usable\": ") + (group->sectionUsable() ? "true" : "false");
        out += ", \"entries\": [";
        for (const CatalogueNode* node = group; node != nullptr; node = node->nextInGroup()) {
            const CatalogueEntry* entry = node->entry();
            if (entry == nullptr)
                continue;
            out += node == group ? "" : ", ";
            out += "{\"version\": " + jsonString(entry->version().view());
            out += ", \"file\": " + jsonString(entry->fileName().view());
            out += ", \"state\": " + jsonString(entryState(*entry));
            out += std::string(", \"optional\": ") + (entry->isOptional() ? "true" : "false");
            out += ", \"check\": " + jsonString(fileCheck(catalogue, *entry));
            out += "}";
        }
        out += "]}";
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
}

// What the table says of a text the catalogue refused rather than cut.
constexpr const char* kRefused = "  (not usable: longer than 79 characters)";

// Why an object pair was refused: a number the request cannot carry, or a
// text that was cut.
std::string pairRefusal(const FirmwareCatalogue::Oid& model,
                        const FirmwareCatalogue::Oid& version) {
    for (const auto* oid : {&model, &version}) {
        if (auto problem = FirmwareCatalogue::oidProblem(oid->view()))
            return "  (not usable: " + terminalText(*problem) + ")";
    }
    return kRefused;
}

// Every text of the table comes from a file: shown escaped.
std::string shown(std::string_view text, std::string_view absent = "-") {
    return text.empty() ? std::string(absent) : terminalText(text);
}

void printTable(const FirmwareCatalogue& catalogue) {
    std::printf("loaded:    %s\n", catalogue.notLoaded() ? "no" : "yes");
    std::printf("location:  %s\n",
                catalogue.location() ? shown(catalogue.location()->view(), "").c_str() : "-");
    std::printf("date:      %s\n",
                catalogue.date() ? shown(catalogue.date()->view(), "").c_str() : "-");
    std::printf("package:   %s\n", trustLine(catalogue.trust()).c_str());
    FirmwareCatalogue::Oid modelOid, versionOid;
    catalogue.systemPairAsRead(modelOid, versionOid);
    std::printf("system:    %s = %s%s\n", shown(modelOid).c_str(), shown(versionOid).c_str(),
                catalogue.systemPairRefused() ? pairRefusal(modelOid, versionOid).c_str() : "");
    for (std::size_t i = 0; i < catalogue.subsystemCount(); ++i) {
        FirmwareCatalogue::Oid model, version;
        bool usable = catalogue.subsystemPair(i, model, version);
        std::printf("subsystem %zu: %s = %s%s\n", i + 1, shown(model, "").c_str(),
                    shown(version, "").c_str(), usable ? "" : pairRefusal(model, version).c_str());
    }
    for (const CatalogueNode* group = catalogue.groups(); group != nullptr;
         group = group->nextGroup()) {
        std::printf("\n[%s]%s%s\n", shown(group->sectionName(), "").c_str(),
                    group->sectionOptional() ? " optional" : "",
                    group->sectionUsable() ? "" : kRefused);
        for (const CatalogueNode* node = group; node != nullptr; node = node->nextInGroup()) {
            const CatalogueEntry* entry = node->entry();
            if (entry == nullptr)
                continue;
            const std::string state =
                entry->isUsable() ? entryState(*entry) : std::string("not usable");
            const std::string check = catalogue.trust().state == TrustState::Unsigned
                                          ? std::string()
                                          : ", " + terminalText(fileCheck(catalogue, *entry));
            std::printf("  %-12s %-28s %s%s%s\n", shown(entry->version().view(), "").c_str(),
                        shown(entry->fileName().view(), "").c_str(), state.c_str(),
                        entry->isOptional() ? ", optional" : "", check.c_str());
        }
    }
}

}  // namespace

int catalogueCommand(const Args& args) {
    bool json = false;
    std::string package;
    bool packageGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--keyring") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return usageError(self(), "--keyring needs a file");
            addTrustedKeyring(args[++i]);
        } else if (arg == "--package") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return usageError(self(), "--package needs a directory");
            package = args[++i];
            packageGiven = true;
        } else {
            return usageError(self(), "unexpected argument " + arg);
        }
    }
    if (packageGiven)
        platform::setWorkingDirectory(package);

    FirmwareCatalogue* catalogue = FirmwareCatalogue::instance();
    if (catalogue == nullptr)
        return fail(kExitFailed, "the firmware catalogue could not be made");
    if (json) {
        printJson(*catalogue);
    } else {
        printTable(*catalogue);
    }
    if (catalogue->notLoaded()) {
        return fail(kExitFailed, std::string("no firmware catalogue: neither ") +
                                     platform::inWorkingDirectory(FirmwareCatalogue::kFileName) +
                                     " nor the file of the \"" + Environment::kCatalogueValue +
                                     "\" setting could be opened");
    }
    return kExitOk;
}

}  // namespace upkeep::cli
