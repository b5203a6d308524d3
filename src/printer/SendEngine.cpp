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

int percent(std::uint64_t sent, std::uint64_t total) {
    if (total == 0)
        return 100;
    double value = static_cast<double>(sent) * 100.0 / static_cast<double>(total);
    return value >= 100.0 ? 100 : static_cast<int>(value);
}

}  // namespace

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
    // 100 is kept for a send that succeeded.
    auto showTaken = [&](std::uint64_t unconfirmed) {
        control.progress.store(std::min(99, percent(sent - std::min(unconfirmed, sent), total)));
    };
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
    control.progress.store(100);
    return SendResult::Sent;
}

}  // namespace upkeep
