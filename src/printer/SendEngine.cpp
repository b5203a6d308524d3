#include "printer/SendEngine.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "printer/DownloadHistory.h"

namespace upkeep {
namespace {

bool isFlag(std::uint8_t c) {
    return c == '0' || c == '7';
}

}  // namespace

int takenShare(std::uint64_t taken, std::uint64_t total) {
    if (total == 0 || taken >= total)
        return kProgressWhole - 1;
    double value = static_cast<double>(taken) * kProgressWhole / static_cast<double>(total);
    return std::min(kProgressWhole - 1, static_cast<int>(value));
}

TakenProgress::TakenProgress(Connection& printer, std::atomic<int>& progress, std::uint64_t total)
    : printer_(printer),
      progress_(progress),
      total_(total),
      whileWriting_([this](std::uint64_t unconfirmed) { show(sent_ + writing_, unconfirmed); }),
      afterWrites_([this](std::uint64_t unconfirmed) { show(sent_, unconfirmed); }) {
    printer_.reportWhileWriting(&whileWriting_);
}

// The report reads this object's words: it goes with them.
TakenProgress::~TakenProgress() {
    printer_.reportWhileWriting(nullptr);
}

void TakenProgress::written() {
    sent_ += writing_;
    writing_ = 0;
    show(sent_, printer_.unconfirmed());
}

void TakenProgress::show(std::uint64_t through, std::uint64_t unconfirmed) const {
    progress_.store(takenShare(through - std::min(unconfirmed, through), total_));
}

bool rewriteForDowngrade(std::uint8_t* block, std::size_t length) {
    if (block == nullptr)
        return false;
    std::size_t line = 0;
    while (line + 6 < length) {
        if (isFlag(block[line]) && isFlag(block[line + 2]) && isFlag(block[line + 4]) &&
            isFlag(block[line + 6])) {
            block[line] = '7';
            return true;
        }
        std::size_t end = line;
        while (end < length && block[end] != '\n')
            ++end;
        if (end >= length)
            return false;
        line = end;
        while (line < length && (block[line] == '\r' || block[line] == '\n'))
            ++line;
    }
    return false;
}

namespace {

SendResult failed(const Connection& printer, const TransferControl& control) {
    if (control.cancel.load())
        return SendResult::Canceled;
    if (control.failure)
        *control.failure = printer.failureCode();
    return SendResult::WriteFailed;
}

}  // namespace

SendResult streamFile(Connection& file, Connection& printer, bool downgrade,
                      const TransferControl& control) {
    control.progress.store(0);
    const std::size_t blockSize = printer.blockSize();
    if (blockSize == 0)
        return SendResult::WriteFailed;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[blockSize]);
    if (!block)
        return SendResult::WriteFailed;
    // The first block is read before the printer is spoken to: an empty
    // file sends nothing at all.
    std::size_t length = blockSize;
    if (!file.read(block.get(), length) || length == 0)
        return file.size() == 0 ? SendResult::EmptyFile : SendResult::WriteFailed;
    printer.watchCancel(&control.cancel);
    if (!printer.open())
        return control.cancel.load() ? SendResult::Canceled : SendResult::NoConnection;

    const std::uint64_t total = file.size();
    TakenProgress taken(printer, control.progress, total);
    do {
        if (control.cancel.load())
            return SendResult::Canceled;
        if (downgrade) {
            rewriteForDowngrade(block.get(), length);
            downgrade = false;
        }
        taken.writing(length);
        if (!printer.write(block.get(), length))
            return failed(printer, control);
        // The bytes as written: for a downgrade, with the rewritten flag
        // line, so its digest is not the file's on disk.
        if (control.sent)
            control.sent->add(block.get(), length);
        taken.written();
        // The next read asks for as much as the last one returned; one that
        // returns nothing ends the loop.
    } while (file.read(block.get(), length) && length > 0);
    // A file that could not be read to its end was not sent, whatever the
    // loop saw.
    if (taken.sent() != total)
        return SendResult::WriteFailed;
    if (!printer.finishSending(taken.report()))
        return failed(printer, control);
    control.progress.store(kProgressWhole);
    return SendResult::Sent;
}

}  // namespace upkeep
