// The download operations of a printer.

#include "package/FirmwareCatalogue.h"
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

CatalogueEntry* Printer::upgradeEntry(unsigned k) const {
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    if (!catalogue)
        return nullptr;
    PrinterFacts f = facts();
    unsigned seen = 0;
    for (std::size_t i = 0; i < f.subsystemCount && i < kMaxSubsystems; ++i) {
        if (f.subsystemStates[i] != PrinterState::UpgradeAvailable)
            continue;
        if (seen++ == k)
            return catalogue->newestEntry(f.subsystemModels[i], f.subsystemVersions[i]);
    }
    return catalogue->newestEntry(f.model, f.version);
}

SendResult Printer::upgradeItem(unsigned k, const TransferControl& control) {
    CatalogueEntry* entry = upgradeEntry(k);
    if (!entry)
        return SendResult::FileNotFound;
    return upkeep::sendEntry(*entry, dataChannel(portDescriptor()), control);
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
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    if (!catalogue)
        return true;
    PrinterFacts f = facts();
    auto missing = [&](const ValueText& model, const ValueText& version) {
        const CatalogueEntry* entry = catalogue->newestEntry(model, version);
        return entry && !entry->fileExists();
    };
    if (f.state == PrinterState::UpgradeAvailable && missing(f.model, f.version))
        return false;
    for (std::size_t i = 0; i < f.subsystemCount && i < kMaxSubsystems; ++i) {
        if (f.subsystemStates[i] == PrinterState::UpgradeAvailable &&
            missing(f.subsystemModels[i], f.subsystemVersions[i])) {
            return false;
        }
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
    control.progress.store(0);
    std::unique_ptr<Connection> printer = createConnection(port);
    if (!printer)
        return SendResult::NoConnection;
    std::unique_ptr<Connection> file;
    int code = entry.openFile(&file);
    if (code == CatalogueEntry::kNotFound)
        return SendResult::FileNotFound;
    if (code != CatalogueEntry::kFound || !file)
        return SendResult::WriteFailed;
    bool downgrade = entry.downgradeMark();
    // The mark belongs to this send only: left on the shared entry after a
    // failed downgrade, it would rewrite the next ordinary send of the file.
    entry.clearDowngradeMark();
    return streamFile(*file, *printer, downgrade, control);
}

}  // namespace upkeep
