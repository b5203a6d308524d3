#pragma once
// Walks a printer list on a thread of its own, analyses every printer not
// analysed yet, and reports one row per printer to be shown to a sink: the
// GUI's list view or the command-line tool.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "printer/PrinterList.h"

namespace upkeep {

struct AnalysisRow {
    std::size_t position = 0;
    int icon = 0;
    std::string name;
    int stateStringId = 154;
    std::string modelText;
    std::string versionText;
    PrinterState effectiveState = PrinterState::NotAnalysed;
};

// What the worker tells its front end. Called on the worker's thread; a GUI
// implementation queues each call onto its own thread.
class AnalysisSink {
  public:
    virtual ~AnalysisSink() = default;
    virtual void clearRows() = 0;
    // Whether a searching display is shown (then each printer's name is
    // shown for a second before it is analysed).
    virtual bool searchingShown() = 0;
    virtual void setCounter(int count) = 0;
    virtual void setPrinterName(const std::string& name) = 0;
    virtual void repaintSearching() = 0;
    virtual void insertRow(const AnalysisRow& row) = 0;
    // The whole list was walked without being stopped.
    virtual void finished() = 0;
};

class AnalysisWorker {
  public:
    static constexpr platform::Millis kPausePerPrinter{1000};
    static constexpr platform::Millis kStopWait{2000};

    // Starts at once. viewAll is read for each printer as the walk goes.
    AnalysisWorker(std::shared_ptr<PrinterList> list, std::shared_ptr<AnalysisSink> sink,
                   std::shared_ptr<const std::atomic<bool>> viewAll);
    // Stops and joins (or abandons) the thread.
    ~AnalysisWorker();
    AnalysisWorker(const AnalysisWorker&) = delete;
    AnalysisWorker& operator=(const AnalysisWorker&) = delete;

    // Asks the walk to stop between printers: the rest are marked canceled
    // and nothing more is reported.
    void cancel();
    bool running() const;
    // Cancels, then waits up to about two seconds for the thread. A thread
    // still busy then (a printer that takes long to answer) is abandoned: it
    // owns what it uses and reports nothing more. Returns whether it ended.
    bool stop();
    // Stops it without waiting: a walk still busy is abandoned at once (it
    // holds its own references and stays silent), so that a restart never
    // holds up the window. True when it had already ended.
    bool release();
    // Walks whose thread has not ended yet, abandoned ones included: what
    // they read (the catalogue, the settings) must outlive them.
    static int walksAlive();

  private:
    struct Shared {
        std::atomic<bool> cancel{false};
        std::atomic<bool> abandoned{false};
        std::atomic<bool> done{false};
    };
    static void walk(std::shared_ptr<Shared> shared, std::shared_ptr<PrinterList> list,
                     std::shared_ptr<AnalysisSink> sink,
                     std::shared_ptr<const std::atomic<bool>> viewAll);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace upkeep
