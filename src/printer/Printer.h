#pragma once
// One printer: its name, its own copy of the port descriptor, the model and
// system software version it reported for itself and for each subsystem,
// and the state the analysis left.
//
// Read by the user-interface thread while a worker analyses or sends to it,
// so its fields are guarded by a lock; network exchanges happen outside it.

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "connection/PortDescriptor.h"
#include "printer/IdentifyReply.h"
#include "printer/PrinterState.h"
#include "printer/SendEngine.h"

namespace upkeep {

class FirmwareCatalogue;
class CatalogueEntry;
class MediaProfileList;
enum class InstallResult;
class EntryIterator;

using DisplayText = FixedText<1024>;

// Everything the analysis learnt, copied out at once.
struct PrinterFacts {
    ValueText model;
    ValueText version;
    PrinterState state = PrinterState::NotAnalysed;
    std::array<ValueText, kMaxSubsystems> subsystemModels;
    std::array<ValueText, kMaxSubsystems> subsystemVersions;
    std::array<PrinterState, kMaxSubsystems> subsystemStates{};
    std::size_t subsystemCount = 0;

    PrinterState effectiveState() const;
    std::string modelText() const;
    std::string versionText() const;
};

class Printer {
  public:
    Printer(std::string_view name, const PortDescriptor& port);
    virtual ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    std::string name() const { return name_.str(); }
    const PortDescriptor& portDescriptor() const { return port_; }

    // The first three analyse the printer first when its state is 0.
    std::string model();
    std::string versionText();
    std::string modelText();

    PrinterState state() const;
    PrinterState effectiveState() const;
    PrinterFacts facts() const;

    void reset();
    void markCanceled();
    // Analyses now, whatever the state (callers normally go through model()).
    void analyse();
    void analyseIfNeeded();

    // Same port: equal types, and for network and USB ports equal names
    // (not empty); parallel ports by the device they open.
    bool samePortAs(const PortDescriptor& other) const;

    // Downloads. The items of an upgrade are the subsystems whose state is
    // "upgrade available", then the printer itself if its state is.
    unsigned upgradableCount() const;
    // The entries of those items, read from one look at the printer's facts
    // so that an analysis running meanwhile cannot shift them; an item the
    // catalogue has no entry for is null.
    std::vector<CatalogueEntry*> upgradeEntries() const;
    SendResult sendEntry(CatalogueEntry& entry, const TransferControl& control);
    // A version the catalogue does not list for the model sends nothing and
    // fails (FileNotFound): nothing was sent, so it cannot be reported as sent.
    SendResult downgrade(std::string_view version, const TransferControl& control);
    bool upgradeFilesPresent() const;
    bool versionFilePresent(std::string_view model, std::string_view version) const;
    // Every version of the printer's model from its section, for a downgrade.
    std::unique_ptr<EntryIterator> versions() const;

    // Media profiles: a fresh list for each listing and each installation,
    // kept by the printer until the next one.
    // Shared, so that a listing on one thread and an installation on another
    // never free the list the other is using.
    std::shared_ptr<MediaProfileList> prepareListing();
    InstallResult addProfile(std::string_view path, const TransferControl& control,
                             long& printerAnswer);

    // Stores what an analysis found (used by the identification).
    void store(const PrinterFacts& facts);
    void setState(PrinterState state);

  private:
    const FixedText<128> name_;
    const PortDescriptor port_;
    mutable std::mutex mutex_;
    // Held for the length of an analysis: one walk asks a printer at a time,
    // and a second one waits for the first's result rather than reading its
    // temporary state (an abandoned walk may still be asking).
    std::mutex analysing_;
    PrinterFacts facts_;
    std::shared_ptr<MediaProfileList> media_;  // guarded by mutex_
};

}  // namespace upkeep
