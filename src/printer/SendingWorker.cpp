#include "printer/SendingWorker.h"

#include "media/MediaProfileList.h"
#include "package/CatalogueEntry.h"

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
    TransferControl control{shared->cancel, shared->progress};
    Operation outcome = request.operation;
    bool canceled = false;
    auto fail = [&](int stringId, int code = 0) {
        outcome = Operation::Failed;
        sink->showFailure(stringId, code);
    };
    Printer* printer = request.printer.get();

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
                fail(kUpgradeFailed);
                break;
            }
            for (std::size_t k = 0; k < n; ++k) {
                CatalogueEntry* entry = entries[k];
                if (sink->sendingShown())
                    sink->setFileText(entry ? entry->fileName().str() : std::string());
                shared->progress.store(0);
                SendResult result =
                    entry ? printer->sendEntry(*entry, control) : SendResult::FileNotFound;
                if (result == SendResult::Canceled) {
                    canceled = true;
                    break;
                }
                if (result != SendResult::Sent) {
                    fail(result == SendResult::EmptyFile ? kEmptyFile : kUpgradeFailed);
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
            SendResult result =
                printer ? printer->downgrade(request.sendText, control) : SendResult::NoConnection;
            if (result == SendResult::Canceled) {
                canceled = true;
            } else if (result != SendResult::Sent) {
                fail(result == SendResult::EmptyFile ? kEmptyFile : kDowngradeFailed);
            }
            break;
        }
        case Operation::SendFile: {
            SendResult result = printer && request.entry
                                    ? printer->sendEntry(*request.entry, control)
                                    : SendResult::NoConnection;
            if (result == SendResult::Canceled) {
                canceled = true;
            } else if (result != SendResult::Sent) {
                fail(result == SendResult::EmptyFile ? kEmptyFile : kUpgradeFailed);
            }
            break;
        }
        case Operation::AddProfile: {
            long answer = 0;
            InstallResult result = printer ? printer->addProfile(request.sendText, control, answer)
                                           : InstallResult::Failed;
            if (result == InstallResult::Canceled) {
                canceled = true;
            } else if (result == InstallResult::EmptyFile) {
                fail(kEmptyFile);
            } else if (result == InstallResult::Refused) {
                // The printer's own number helps whoever reads the message.
                fail(kProfileFailed, static_cast<int>(answer));
            } else if (result != InstallResult::Installed) {
                fail(kProfileFailed);
            }
            break;
        }
        default:
            break;
    }
    sink->finished(outcome, canceled);
    shared->done.store(true);
}

}  // namespace upkeep
