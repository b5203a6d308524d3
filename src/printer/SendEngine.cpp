#include "printer/SendEngine.h"

#include <memory>
#include <new>
#include <vector>

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

SendResult streamFile(Connection& file, Connection& printer, bool downgrade,
                      const TransferControl& control) {
    control.progress.store(0);
    const std::size_t blockSize = printer.blockSize();
    if (blockSize == 0)
        return SendResult::WriteFailed;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[blockSize]);
    if (!block)
        return SendResult::WriteFailed;
    if (!printer.open())
        return SendResult::NoConnection;
    printer.watchCancel(&control.cancel);

    const std::uint64_t total = file.size();
    std::uint64_t sent = 0;
    std::size_t length = blockSize;
    while (file.read(block.get(), length)) {
        if (control.cancel.load())
            return SendResult::Canceled;
        if (downgrade) {
            rewriteForDowngrade(block.get(), length);
            downgrade = false;
        }
        if (length > 0 && !printer.write(block.get(), length))
            return control.cancel.load() ? SendResult::Canceled : SendResult::WriteFailed;
        sent += length;
        control.progress.store(percent(sent, total));
        // A read that returned nothing would never end the loop.
        if (length == 0)
            break;
        // The next read asks for as much as the last one returned.
    }
    // A file that could not be read to its end was not sent, whatever the
    // loop saw.
    if (sent != total)
        return SendResult::WriteFailed;
    if (!printer.finishSending())
        return control.cancel.load() ? SendResult::Canceled : SendResult::WriteFailed;
    control.progress.store(100);
    return SendResult::Sent;
}

}  // namespace upkeep
