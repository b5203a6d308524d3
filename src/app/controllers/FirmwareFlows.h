#pragma once
// The system software flows of the main window: upgrade (and the forced
// download behind Ctrl), downgrade, and the emergency download.

#include <memory>

#include "app/controllers/WindowContext.h"

namespace upkeep::app {

class FirmwareFlows {
  public:
    // The version dialog offers at most this many versions.
    static constexpr std::size_t kMaxVersions = 64;

    explicit FirmwareFlows(WindowContext& window) : window_(window) {}

    void upgradeCommand();
    void upgradePrinter(const std::shared_ptr<Printer>& printer);
    void downgradeCommand();
    void emergencyCommand();

  private:
    // Analyses a printer not analysed yet (off the window's thread), then
    // says why it cannot be upgraded; true when it can.
    bool checkPrinter(const std::shared_ptr<Printer>& printer);
    void startForcedDownload(const std::shared_ptr<Printer>& printer,
                             std::shared_ptr<CatalogueEntry> entry);
    // An entry for a file the user chose; null (after a warning) when the
    // path is longer than an entry holds.
    std::shared_ptr<CatalogueEntry> chosenFileEntry(const std::string& label,
                                                    const std::string& file);
    void offerSupportPage(int headerId, int bodyId, Printer& printer);

    WindowContext& window_;
};

}  // namespace upkeep::app
