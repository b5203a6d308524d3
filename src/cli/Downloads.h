#pragma once
// What the download commands share: the sink that follows one download,
// the confirmation, the checks a printer must pass, and the history.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "printer/SendingWorker.h"

namespace upkeep::cli {

// Follows one download from its worker's thread; read from the main thread.
class DownloadSink : public SendingSink {
  public:
    explicit DownloadSink(int total) : total_(total) {}
    bool sendingShown() override { return true; }  // so upgrade items pause between them
    void setFileText(const std::string& fileName) override;
    void advanceStep() override;
    void redrawPrinters() override {}
    void showFailure(int stringId, int code) override;
    void finished(Operation outcome, bool canceled) override;

    // "step/total file", or the file alone for a single item.
    std::string label();
    std::string failure();
    Operation outcome();
    bool canceled();

  private:
    std::mutex mutex_;
    int total_;
    int step_ = 1;
    std::string file_;
    std::string failure_;
    Operation outcome_ = Operation::None;
    bool canceled_ = false;
};

// Asks on the terminal (stderr) unless --yes was given. Nothing to go on
// when the answer is yes; else the status to end with: 1 for a no, 2 when
// standard input is no terminal (a script or a pipe must say --yes, so that
// a flash is never started by accident).
std::optional<int> confirm(const Options& options, const std::vector<std::string>& lines);

// The program's message for a printer whose state allows no download
// (262, 259, 260, 261), or 0 when it allows one.
int unusableMessage(PrinterState effective);

// Appends the download's history lines as soon as the transfer ended, so
// that ending the tool during a verification cannot lose them; with a
// verification to follow, its files read "pending" until completeHistory
// appends the lines that supersede them. A file that cannot be written is a
// warning on stderr, never a failed download.
void recordHistory(const DownloadReport& report, bool verificationFollows);
void completeHistory(const DownloadReport& report, const std::string& verification);

}  // namespace upkeep::cli
