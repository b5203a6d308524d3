// upkeepctl catalogue: what the package's firmware catalogue holds, loaded
// exactly as the program loads it.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
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
            return message(text::kSignedBy,
                           {terminalText(trust.fingerprint), terminalText(trust.userId)});
        case TrustState::Untrusted:
            return message(text::kUntrusted, {terminalText(trust.reason)});
        default:
            return message(text::kUnsigned, {});
    }
}

// fileCheck's English, as the table shows it.
std::string fileCheckShown(const std::string& check) {
    if (check == "verified")
        return message(text::kFileVerified, {});
    if (check == "missing")
        return message(text::kMissing, {});
    if (check == "unsigned")
        return message(text::kFileUnsigned, {});
    if (check.starts_with("refused: "))
        return message(text::kRefused, {terminalText(check.substr(9))});
    return terminalText(check);
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
std::string tooLongToUse() {
    return "  " + message(text::kTooLongToUse, {});
}

// Why an object pair was refused: a number the request cannot carry, or a
// text that was cut.
std::string pairRefusal(const FirmwareCatalogue::Oid& model,
                        const FirmwareCatalogue::Oid& version) {
    for (const auto* oid : {&model, &version}) {
        if (auto problem = FirmwareCatalogue::oidProblem(oid->view()))
            return "  " + message(text::kNotUsableBecause, {terminalText(*problem)});
    }
    return tooLongToUse();
}

// Every text of the table comes from a file: shown escaped.
std::string cell(std::string_view text, std::string_view absent = "-") {
    return text.empty() ? std::string(absent) : terminalText(text);
}

void printTable(const FirmwareCatalogue& catalogue) {
    FirmwareCatalogue::Oid modelOid, versionOid;
    catalogue.systemPairAsRead(modelOid, versionOid);
    const std::vector<std::vector<std::string>> head = {
        {message(text::kLoaded, {}), message(catalogue.notLoaded() ? text::kNo : text::kYes, {})},
        {message(text::kLocation, {}),
         catalogue.location() ? cell(catalogue.location()->view(), "") : "-"},
        {message(text::kDate, {}), catalogue.date() ? cell(catalogue.date()->view(), "") : "-"},
        {message(text::kPackage, {}), trustLine(catalogue.trust())},
        {message(text::kSystem, {}),
         cell(modelOid) + " = " + cell(versionOid) +
             (catalogue.systemPairRefused() ? pairRefusal(modelOid, versionOid) : "")},
    };
    std::fputs(columns(head).c_str(), stdout);
    for (std::size_t i = 0; i < catalogue.subsystemCount(); ++i) {
        FirmwareCatalogue::Oid model, version;
        bool usable = catalogue.subsystemPair(i, model, version);
        std::printf("%s %s = %s%s\n", message(text::kSubsystem, {std::to_string(i + 1)}).c_str(),
                    cell(model, "").c_str(), cell(version, "").c_str(),
                    usable ? "" : pairRefusal(model, version).c_str());
    }
    for (const CatalogueNode* group = catalogue.groups(); group != nullptr;
         group = group->nextGroup()) {
        std::printf("\n[%s]%s%s\n", cell(group->sectionName(), "").c_str(),
                    group->sectionOptional() ? (" " + message(text::kOptional, {})).c_str() : "",
                    group->sectionUsable() ? "" : tooLongToUse().c_str());
        for (const CatalogueNode* node = group; node != nullptr; node = node->nextInGroup()) {
            const CatalogueEntry* entry = node->entry();
            if (entry == nullptr)
                continue;
            const int state = !entry->isUsable()    ? text::kNotUsable
                              : entry->fileExists() ? text::kPresent
                                                    : text::kMissing;
            const std::string check = catalogue.trust().state == TrustState::Unsigned
                                          ? std::string()
                                          : ", " + fileCheckShown(fileCheck(catalogue, *entry));
            std::printf("  %s %s %s%s%s\n", padded(cell(entry->version().view(), ""), 12).c_str(),
                        padded(cell(entry->fileName().view(), ""), 28).c_str(),
                        message(state, {}).c_str(),
                        entry->isOptional() ? (", " + message(text::kOptional, {})).c_str() : "",
                        check.c_str());
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
                return usageError(self(), message(text::kNeedsValue, {"--keyring"}));
            addTrustedKeyring(args[++i]);
        } else if (arg == "--package") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return usageError(self(), message(text::kNeedsValue, {"--package"}));
            package = args[++i];
            packageGiven = true;
        } else {
            return usageError(self(), message(text::kUnexpectedArgument, {arg}));
        }
    }
    if (packageGiven)
        platform::setWorkingDirectory(package);

    FirmwareCatalogue* catalogue = FirmwareCatalogue::instance();
    if (catalogue == nullptr)
        return fail(kExitFailed, message(text::kCatalogueNotMade, {}));
    if (json) {
        printJson(*catalogue);
    } else {
        printTable(*catalogue);
    }
    if (catalogue->notLoaded()) {
        return fail(
            kExitFailed,
            message(text::kNoCatalogue, {platform::inWorkingDirectory(FirmwareCatalogue::kFileName),
                                         Environment::kCatalogueValue}));
    }
    return kExitOk;
}

}  // namespace upkeep::cli
