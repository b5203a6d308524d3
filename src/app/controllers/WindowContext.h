#pragma once
// What the main window's flows (system software, media profiles, the small
// dialogs) need of the window: its view, the selection, the one download
// at a time, and the list of printers. The main controller provides it.

#include <functional>
#include <memory>
#include <string>

#include "app/controllers/Views.h"
#include "package/CatalogueEntry.h"
#include "printer/SendingWorker.h"

namespace upkeep::app {

// A download the user asked for.
struct DownloadOrder {
    Operation operation = Operation::None;
    std::shared_ptr<Printer> printer;
    std::shared_ptr<CatalogueEntry> entry;  // SendFile
    std::string text;                       // Downgrade: the version; AddProfile: the file
    int total = 1;                          // the number of steps
};

class WindowContext {
  public:
    // The longest text a download order carries (a profile's path).
    static constexpr std::size_t kSendTextCapacity = 255;

    virtual ~WindowContext() = default;
    virtual MainView& view() = 0;
    virtual std::shared_ptr<Printer> selectedPrinter() = 0;
    // An operation is running: another must wait (string 267).
    virtual bool operationBusy() const = 0;
    virtual void startDownload(DownloadOrder order) = 0;
    // Runs a printer exchange off the window's thread; the user's commands
    // are refused until it has ended. False: the user asked meanwhile to
    // close the window, which is closing now; the flow stops.
    virtual bool runBusy(const std::function<void()>& work) = 0;
    // Shows the printer being asked in the Searching dialog of the running
    // analysis; false when none is open.
    virtual bool showAsked(const std::string& printerName) = 0;
    // The user declined the upgrade wizard: no automatic action after it.
    virtual void upgradeDeclined() = 0;
    // A profile is being added: the start-up's request is used up.
    virtual void startRequestDone() = 0;
    // A printer the user named: put into the list and analysed.
    virtual void addPrinter(std::shared_ptr<Printer> printer) = 0;

    void showInfo(int stringId);
    void showWarning(int stringId, int code);
};

}  // namespace upkeep::app
