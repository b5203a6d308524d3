#include "printer/SendingWorker.h"

#include "printer/DownloadLock.h"

#include <cstdio>

#include "media/MediaProfileList.h"
#include "package/CatalogueEntry.h"
#include "package/FirmwareCatalogue.h"
#include "printer/Identification.h"

namespace upkeep {
namespace {

// The pause between upgrade items, cut short by a cancel.
void pause(const std::atomic<bool>& cancel, platform::Millis nominal) {
    platform::Deadline deadline(nominal);
    while (!cancel.load() && !deadline.expired()) {
        std::this_thread::sleep_for(std::min(platform::Millis{20}, deadline.remaining()));
    }
}

}  // namespace

std::string failureWord(SendResult result, const std::string& connectionWord) {
    switch (result) {
        case SendResult::Sent:
        case SendResult::Canceled:
            return {};
        case SendResult::NoConnection:
            return "notReachable";
        case SendResult::FileNotFound:
            return "fileNotFound";
        case SendResult::EmptyFile:
            return "emptyFile";
        case SendResult::Refused:
            return "refusedFile";
        case SendResult::WriteFailed:
            break;
    }
    return connectionWord.empty() ? "transferFailed" : connectionWord;
}

namespace {

const char* outcomeText(SendResult result) {
    switch (result) {
        case SendResult::Sent:
            return "sent";
        case SendResult::Canceled:
            return "canceled";
        default:
            return "failed";
    }
}

// Notes one file's transfer for the history, and what the printer took.
class Recorder {
  public:
    Recorder(DownloadReport& report, const SendRequest& request) : report_(report) {
        const Printer* printer = request.printer.get();
        if (!printer)
            return;
        const PrinterFacts facts = printer->facts();
        base_.printer = printer->name();
        base_.port = printer->portDescriptor().name().str();
        // The printer's own fields; each subsystem follows its version.
        base_.model = facts.model.str();
        base_.version = facts.version.str();
        for (std::size_t i = 0; i < facts.subsystemCount && i < kMaxSubsystems; ++i) {
            base_.version +=
                ", " + facts.subsystemModels[i].str() + " " + facts.subsystemVersions[i].str();
        }
        forced_ = request.operation == Operation::SendFile;
        base_.operation = request.operation == Operation::Upgrade     ? "upgrade"
                          : request.operation == Operation::Downgrade ? "downgrade"
                                                                      : "send";
        base_.user = history::currentUser();
        base_.host = history::currentHost();
    }
    // Called as a file's transfer starts.
    void start() { started_ = platform::Clock::tickMs(); }
    void note(const CatalogueEntry* entry, SendResult result, history::SentBytes& bytes) {
        if (!entry || result == SendResult::FileNotFound || result == SendResult::Refused)
            return;  // nothing left this side
        history::Record record = base_;
        record.id = history::newId();
        record.time = history::now();
        record.file = bytes.finish();
        if (record.file.path.empty())
            record.file.path = entry->fileName().str();
        record.outcome = outcomeText(result);
        record.durationMs = platform::Clock::tickMs() - started_;
        if (!forced_)
            record.targetVersion = entry->version().str();
        record.package = packageState(record.file.path);
        report_.records.push_back(std::move(record));
        if (result == SendResult::Sent)
            report_.sent.push_back({entry->model().str(), entry->version().str()});
    }

  private:
    // The package's state for a file inside it; "none" for a file of the
    // user's own choice from elsewhere.
    std::string packageState(const std::string& path) const {
        const FirmwareCatalogue* catalogue = analysisCatalogue();
        if (!catalogue)
            return "none";
        const PackageTrust& trust = catalogue->trust();
        const bool inside =
            !forced_ || (!trust.directory.empty() && path.rfind(trust.directory + "/", 0) == 0);
        return inside ? trust.stateText() : "none";
    }

    DownloadReport& report_;
    history::Record base_;
    bool forced_ = false;
    std::uint64_t started_ = platform::Clock::tickMs();
};

}  // namespace

SendingWorker::SendingWorker(SendRequest request, std::shared_ptr<SendingSink> sink)
    : shared_(std::make_shared<Shared>()) {
    thread_ = std::thread(run, shared_, std::move(request), std::move(sink));
}

SendingWorker::~SendingWorker() {
    cancel();
    join();
}

void SendingWorker::join() {
    if (thread_.joinable())
        thread_.join();
}

void SendingWorker::run(std::shared_ptr<Shared> shared, SendRequest request,
                        std::shared_ptr<SendingSink> sink) {
    std::string connectionWord;
    TransferControl control{shared->cancel, shared->progress, nullptr, nullptr, &connectionWord};
    // A system software file's transfer also hands its bytes to the history.
    auto recorded = [&](history::SentBytes& bytes) {
        return TransferControl{shared->cancel, shared->progress, &bytes, &shared->report.refusal,
                               &connectionWord};
    };
    Operation outcome = request.operation;
    bool canceled = false;
    auto fail = [&](int stringId, int code = 0) {
        outcome = Operation::Failed;
        sink->showFailure(stringId, code);
    };
    // The same with the transfer's reason word.
    auto failWith = [&](SendResult result, int stringId) {
        shared->report.failure = failureWord(result, connectionWord);
        fail(result == SendResult::EmptyFile ? kEmptyFile : stringId);
    };
    Printer* printer = request.printer.get();
    Recorder recorder(shared->report, request);

    // One download to a printer at a time, whichever process starts it; the
    // lock is the kernel's, so a process that dies leaves none behind.
    std::optional<DownloadLock> lock;
    if (printer)
        lock = DownloadLock::take(printer->portDescriptor(), shared->report.busy);
    if (printer && !lock) {
        shared->report.failure = "busy";
        fail(kBusy);
    } else {
        switch (request.operation) {
            case Operation::Upgrade: {
                if (!printer) {
                    fail(kUpgradeFailed);
                    break;
                }
                const std::vector<CatalogueEntry*> entries = printer->upgradeEntries();
                const std::size_t n = entries.size();
                if (n == 0) {
                    // Nothing to send is no upgrade sent.
                    shared->report.failure = "nothingToSend";
                    fail(kUpgradeFailed);
                    break;
                }
                for (std::size_t k = 0; k < n; ++k) {
                    CatalogueEntry* entry = entries[k];
                    if (sink->sendingShown())
                        sink->setFileText(entry ? entry->fileName().str() : std::string());
                    shared->progress.store(0);
                    history::SentBytes bytes;
                    recorder.start();
                    SendResult result = entry ? printer->sendEntry(*entry, recorded(bytes))
                                              : SendResult::FileNotFound;
                    recorder.note(entry, result, bytes);
                    if (result == SendResult::Canceled) {
                        canceled = true;
                        break;
                    }
                    if (result != SendResult::Sent) {
                        failWith(result, kUpgradeFailed);
                        break;
                    }
                    sink->redrawPrinters();
                    if (k + 1 < n && sink->sendingShown() && !shared->cancel.load()) {
                        pause(shared->cancel, kPauseBetweenItems);
                        if (shared->cancel.load()) {
                            canceled = true;
                            break;
                        }
                        sink->advanceStep();
                    }
                }
                break;
            }
            case Operation::Downgrade: {
                const FirmwareCatalogue* catalogue = analysisCatalogue();
                const CatalogueEntry* entry =
                    printer && catalogue
                        ? catalogue->findEntry(printer->facts().model, request.sendText)
                        : nullptr;
                history::SentBytes bytes;
                recorder.start();
                SendResult result = printer ? printer->downgrade(request.sendText, recorded(bytes))
                                            : SendResult::NoConnection;
                recorder.note(entry, result, bytes);
                if (result == SendResult::Canceled) {
                    canceled = true;
                } else if (result != SendResult::Sent) {
                    failWith(result, kDowngradeFailed);
                }
                break;
            }
            case Operation::SendFile: {
                history::SentBytes bytes;
                recorder.start();
                SendResult result = printer && request.entry
                                        ? printer->sendEntry(*request.entry, recorded(bytes))
                                        : SendResult::NoConnection;
                recorder.note(request.entry.get(), result, bytes);
                if (result == SendResult::Canceled) {
                    canceled = true;
                } else if (result != SendResult::Sent) {
                    failWith(result, kUpgradeFailed);
                }
                break;
            }
            case Operation::AddProfile: {
                long answer = 0;
                InstallResult result = printer
                                           ? printer->addProfile(request.sendText, control, answer)
                                           : InstallResult::Failed;
                if (result == InstallResult::Canceled) {
                    canceled = true;
                } else if (result == InstallResult::EmptyFile) {
                    shared->report.failure = "emptyFile";
                    fail(kEmptyFile);
                } else if (result == InstallResult::Refused) {
                    // The printer's own number helps whoever reads the message.
                    shared->report.failure = "refusedByPrinter";
                    fail(kProfileFailed, static_cast<int>(answer));
                } else if (result != InstallResult::Installed) {
                    shared->report.failure = "transferFailed";
                    fail(kProfileFailed);
                }
                break;
            }
            default:
                break;
        }
    }
    shared->report.refused = shared->report.refusal.text;
    std::string problem;
    if (request.recordHistory && !history::append(shared->report.records, problem))
        std::fprintf(stderr, "warning: %s\n", problem.c_str());
    sink->finished(outcome, canceled);
    shared->done.store(true);
}

}  // namespace upkeep
