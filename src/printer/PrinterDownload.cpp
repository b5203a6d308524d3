// The download operations of a printer.

#include "connection/FileConnection.h"
#include "package/FirmwareCatalogue.h"
#include "printer/DownloadHistory.h"
#include "printer/Identification.h"
#include "printer/Printer.h"

namespace upkeep {
namespace {

PortDescriptor dataChannel(const PortDescriptor& port) {
    PortDescriptor copy = port;
    copy.setChannel(channel::kData);
    return copy;
}

}  // namespace

unsigned Printer::upgradableCount() const {
    PrinterFacts f = facts();
    unsigned count = f.state == PrinterState::UpgradeAvailable ? 1 : 0;
    for (std::size_t i = 0; i < f.subsystemCount && i < kMaxSubsystems; ++i) {
        if (f.subsystemStates[i] == PrinterState::UpgradeAvailable)
            ++count;
    }
    return count;
}

std::vector<CatalogueEntry*> Printer::upgradeEntries() const {
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    PrinterFacts f = facts();
    std::vector<CatalogueEntry*> entries;
    auto add = [&](const ValueText& model, const ValueText& version) {
        entries.push_back(catalogue ? catalogue->newestEntry(model, version) : nullptr);
    };
    for (std::size_t i = 0; i < f.subsystemCount && i < kMaxSubsystems; ++i) {
        if (f.subsystemStates[i] == PrinterState::UpgradeAvailable)
            add(f.subsystemModels[i], f.subsystemVersions[i]);
    }
    if (f.state == PrinterState::UpgradeAvailable)
        add(f.model, f.version);
    return entries;
}

SendResult Printer::sendEntry(CatalogueEntry& entry, const TransferControl& control) {
    return upkeep::sendEntry(entry, dataChannel(portDescriptor()), control);
}

SendResult Printer::downgrade(std::string_view version, const TransferControl& control) {
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    CatalogueEntry* entry = catalogue ? catalogue->findEntry(facts().model, version) : nullptr;
    if (!entry)
        return SendResult::FileNotFound;
    entry->setDowngradeMark();
    return upkeep::sendEntry(*entry, dataChannel(portDescriptor()), control);
}

bool Printer::upgradeFilesPresent() const {
    for (const CatalogueEntry* entry : upgradeEntries()) {
        if (entry && !entry->fileExists())
            return false;
    }
    return true;
}

bool Printer::versionFilePresent(std::string_view model, std::string_view version) const {
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    if (!catalogue || model.empty() || version.empty())
        return false;
    const CatalogueEntry* entry = catalogue->findEntry(model, version);
    return entry && entry->fileExists();
}

std::unique_ptr<EntryIterator> Printer::versions() const {
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    if (!catalogue)
        return nullptr;
    PrinterFacts f = facts();
    return catalogue->entriesOf(f.model, f.version);
}

SendResult sendEntry(CatalogueEntry& entry, const PortDescriptor& port,
                     const TransferControl& control) {
    // The mark belongs to this send only, whatever becomes of it: left on the
    // shared entry, it would rewrite the next ordinary send of the file.
    const bool downgrade = entry.downgradeMark();
    entry.clearDowngradeMark();
    control.progress.store(0);
    if (control.sent)
        control.sent->path = entry.fileName().str();
    std::unique_ptr<Connection> printer = createConnection(port);
    if (!printer)
        return SendResult::NoConnection;
    std::unique_ptr<Connection> file;
    int code = entry.openFile(&file);
    if (code == CatalogueEntry::kNotFound)
        return SendResult::FileNotFound;
    if (code != CatalogueEntry::kFound || !file)
        return SendResult::WriteFailed;
    // Where the entry was found: the package, or the path as given.
    if (auto* found = dynamic_cast<FileConnection*>(file.get()); found && control.sent)
        control.sent->path = found->path();
    // Checked whole before the printer's connection opens: bytes hashed
    // while they are sent would already be on the wire.
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    if (std::optional<Refusal> refused =
            catalogue ? checkFileForSending(*catalogue, entry, *file) : std::nullopt) {
        if (control.refusal)
            *control.refusal = *refused;
        return SendResult::Refused;
    }
    return streamFile(*file, *printer, downgrade, control);
}

}  // namespace upkeep
