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
    std::uint64_t sent = 0;
    // Bytes still in this side's buffers are not the printer's yet, and
    // the whole is kept for a send that succeeded.
    auto showTaken = [&](std::uint64_t unconfirmed) {
        control.progress.store(takenShare(sent - std::min(unconfirmed, sent), total));
    };
    // While a write waits for room the block being written counts as sent
    // and unconfirmed: what the printer takes meanwhile still shows.
    const Connection::UnconfirmedReport whileWriting = [&](std::uint64_t unconfirmed) {
        const std::uint64_t through = sent + length;
        control.progress.store(takenShare(through - std::min(unconfirmed, through), total));
    };
    printer.reportWhileWriting(&whileWriting);
    // The report reads this frame's words: it goes with them.
    struct Unwatch {
        Connection& printer;
        ~Unwatch() { printer.reportWhileWriting(nullptr); }
    } unwatch{printer};
    do {
        if (control.cancel.load())
            return SendResult::Canceled;
        if (downgrade) {
            rewriteForDowngrade(block.get(), length);
            downgrade = false;
        }
        if (!printer.write(block.get(), length))
            return failed(printer, control);
        // The bytes as written: for a downgrade, with the rewritten flag
        // line, so its digest is not the file's on disk.
        if (control.sent)
            control.sent->add(block.get(), length);
        sent += length;
        showTaken(printer.unconfirmed());
        // The next read asks for as much as the last one returned; one that
        // returns nothing ends the loop.
    } while (file.read(block.get(), length) && length > 0);
    // A file that could not be read to its end was not sent, whatever the
    // loop saw.
    if (sent != total)
        return SendResult::WriteFailed;
    if (!printer.finishSending(showTaken))
        return failed(printer, control);
    control.progress.store(kProgressWhole);
    return SendResult::Sent;
}

}  // namespace upkeep
