#pragma once
// Runs one download (an upgrade of every upgradable item, a downgrade, a
// chosen file, or a media profile) on a thread of its own, with its own
// cancel word: nothing but its own cancel, or quitting, stops it.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "package/PackageTrust.h"
#include "platform/Clock.h"
#include "printer/DownloadHistory.h"
#include "printer/Printer.h"

namespace upkeep {

enum class Operation : int {
    Upgrade = 0,
    Downgrade = 1,
    SendFile = 2,  // emergency or forced download
    AddProfile = 3,
    Failed = 4,
    None = 5,
};

// The front end of a download: the Sending display, failure messages, the
// end. Called on the worker's thread.
class SendingSink {
  public:
    virtual ~SendingSink() = default;
    // The Sending display exists (its file text and steps are shown).
    virtual bool sendingShown() = 0;
    virtual void setFileText(const std::string& fileName) = 0;
    virtual void advanceStep() = 0;
    virtual void redrawPrinters() = 0;
    // A failure message by string-table number, with a non-zero code when
    // the printer gave one.
    virtual void showFailure(int stringId, int code) = 0;
    // The download ended: Failed, or the operation it ran.
    virtual void finished(Operation outcome, bool canceled) = 0;
};

struct SendRequest {
    Operation operation = Operation::None;
    std::shared_ptr<Printer> printer;
    std::shared_ptr<CatalogueEntry> entry;  // SendFile
    std::string sendText;                   // Downgrade: version; AddProfile: file
    // The worker appends its history lines itself when it ends (a front end
    // that adds a verification first leaves this off and appends them).
    bool recordHistory = false;
};

// What a download did, readable once the worker has been joined.
struct DownloadReport {
    // One per system software file the printer was sent or was being sent.
    std::vector<history::Record> records;
    // The model and version of each file the printer took, in order.
    struct Sent {
        std::string model, version;
    };
    std::vector<Sent> sent;
    // Why nothing was sent when another download held the printer.
    std::string busy;
    // Why a file of the package was refused before anything was sent: the
    // file and the reason, as text and by kind.
    std::string refused;
    Refusal refusal;
    // Why the download failed, in a word scripts can rely on: busy,
    // notReachable, fileNotFound, emptyFile, refusedFile, stalled,
    // closedEarly, refusedByPrinter, transferFailed; empty otherwise.
    std::string failure;
};

// The reason word for a transfer's result (empty for Sent and Canceled).
std::string failureWord(SendResult result, const std::string& connectionWord);

class SendingWorker {
  public:
    static constexpr platform::Millis kPauseBetweenItems{10'000};
    static constexpr int kUpgradeFailed = 257;
    static constexpr int kDowngradeFailed = 256;
    static constexpr int kProfileFailed = 258;
    static constexpr int kEmptyFile = 294;
    static constexpr int kBusy = 267;

    SendingWorker(SendRequest request, std::shared_ptr<SendingSink> sink);
    ~SendingWorker();  // cancels and joins
    SendingWorker(const SendingWorker&) = delete;
    SendingWorker& operator=(const SendingWorker&) = delete;

    void cancel() { shared_->cancel.store(true); }
    // The share of the file taken, in kProgressWhole units.
    int progress() const { return shared_->progress.load(); }
    bool running() const { return !shared_->done.load(); }
    void join();
    // Only after join().
    const DownloadReport& report() const { return shared_->report; }

  private:
    struct Shared {
        std::atomic<bool> cancel{false};
        std::atomic<int> progress{0};
        std::atomic<bool> done{false};
        DownloadReport report;  // written by the worker's thread only
    };
    static void run(std::shared_ptr<Shared> shared, SendRequest request,
                    std::shared_ptr<SendingSink> sink);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace upkeep
