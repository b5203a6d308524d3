#include "media/MediaProfileList.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "connection/Connection.h"
#include "printer/SendEngine.h"
#include "printer/SnmpQuery.h"

namespace upkeep {
namespace {

// The column's object with the row's number in place of its "%d".
std::string columnOid(std::string_view column, std::size_t row) {
    std::string oid(column);
    oid.replace(oid.find("%d"), 2, std::to_string(row));
    return oid;
}

// The position of text in [from, end), or end.
std::size_t find(const std::uint8_t* bytes, std::size_t from, std::size_t end,
                 std::string_view text) {
    if (text.empty() || end < text.size())
        return end;
    for (std::size_t i = from; i + text.size() <= end; ++i) {
        if (std::memcmp(bytes + i, text.data(), text.size()) == 0)
            return i;
    }
    return end;
}

std::size_t findByte(const std::uint8_t* bytes, std::size_t from, std::size_t end, std::uint8_t c) {
    for (std::size_t i = from; i < end; ++i) {
        if (bytes[i] == c)
            return i;
    }
    return end;
}

}  // namespace

std::size_t MediaProfileList::count() {
    if (!fetched_)
        fetch();
    return count_;
}

std::string MediaProfileList::entry(std::size_t index) {
    if (!fetched_)
        fetch();
    return index < count_ ? entries_[index].str() : std::string();
}

std::vector<std::string> MediaProfileList::stored() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < count_; ++i)
        out.push_back(entries_[i].str());
    return out;
}

void MediaProfileList::add(std::string_view text) {
    if (count_ < kCapacity)
        entries_[count_++].assign(text);
}

void MediaProfileList::fetch() {
    fetched_ = true;
    const PortType type = descriptor_.portType();
    if (type == PortType::Usb || type == PortType::Parallel) {
        listByPjl();
        return;
    }
    if (!listBySnmp())
        listByPjl();
}

bool MediaProfileList::listBySnmp() {
    count_ = 0;
    reached_ = false;
    SnmpQuery query(descriptor_);
    for (std::size_t row = 1; count_ < kCapacity; ++row) {
        std::string inkSet, mediaName;
        if (!query.query(columnOid(media::kInkSetColumn, row), columnOid(media::kMediaColumn, row),
                         inkSet, mediaName)) {
            if (query.lastFailure() == SnmpQuery::Failure::ErrorStatus)
                reached_ = true;
            break;
        }
        reached_ = true;
        char line[300];
        std::snprintf(line, sizeof line, "%-20s %-20s", inkSet.c_str(), mediaName.c_str());
        add(line);
    }
    return true;
}

void MediaProfileList::listByPjl() {
    count_ = 0;
    reached_ = false;
    PortDescriptor port = descriptor_;
    port.setChannel(channel::kData);
    std::unique_ptr<Connection> connection = createConnection(port);
    if (!connection || !connection->open())
        return;

    std::string job(media::kJobFirst);
    job.append(4, '\0');
    job.append(media::kJobSecond);
    job.push_back('\0');
    if (!connection->write(reinterpret_cast<const std::uint8_t*>(job.data()), job.size()))
        return;
    platform::Clock::sleepFor(media::kReplyWait);

    std::uint8_t reply[media::kReplyLimit];
    std::size_t received = 0;
    while (received < sizeof reply) {
        std::size_t length = sizeof reply - received;
        if (!connection->read(reply + received, length) || length == 0)
            break;
        received += length;
    }
    connection.reset();
    reached_ = received > 0;
    parseReply(reply, received);
}

void MediaProfileList::parseReply(const std::uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr)
        return;
    std::size_t pos = 0;
    for (;;) {
        std::size_t tag = find(bytes, pos, length, "inkSet:");
        if (tag == length)
            return;
        pos = tag + 7;
        std::size_t medias = find(bytes, pos, length, "medias:");
        if (medias == length)
            return;
        pos = medias + 7;
        while (pos < length && (bytes[pos] == ' ' || bytes[pos] == '\t'))
            ++pos;
        long mediaCount = 0;
        while (pos < length && bytes[pos] >= '0' && bytes[pos] <= '9') {
            mediaCount = std::min<long>(mediaCount * 10 + (bytes[pos] - '0'), 1'000'000);
            ++pos;
        }
        std::size_t lineEnd = findByte(bytes, pos, length, '\n');
        if (lineEnd == length)
            return;
        pos = lineEnd + 1;
        for (long i = 0; i < mediaCount; ++i) {
            std::size_t end = findByte(bytes, pos, length, '\n');
            if (end == length)
                return;
            // 42 bytes from the line's start: a 41-character line and its LF.
            std::size_t take = std::min<std::size_t>(42, length - pos);
            add(std::string_view(reinterpret_cast<const char*>(bytes + pos), take));
            pos = end + 1;
        }
    }
}

InstallResult MediaProfileList::install(std::string_view path, const TransferControl& control) {
    control.progress.store(0);
    // Refused before anything is sent: a cut path names another file.
    if (!PortDescriptor::fits(path))
        return InstallResult::Failed;
    PortDescriptor port = descriptor_;
    port.setChannel(channel::kData);
    std::unique_ptr<Connection> printer = createConnection(port);
    if (!printer)
        return InstallResult::Failed;
    std::unique_ptr<Connection> file =
        createConnection(PortDescriptor(path, PortType::File, channel::kFullPath));
    if (!file || !file->open())
        return InstallResult::Failed;
    return installOver(*file, *printer, control, resultCode_);
}

InstallResult installOver(Connection& file, Connection& printer, const TransferControl& control,
                          long& resultCode) {
    control.progress.store(0);
    const std::size_t blockSize = printer.blockSize();
    if (blockSize == 0)
        return InstallResult::Failed;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[blockSize + 1]);
    if (!block)
        return InstallResult::Failed;
    auto capacity = [&] { return std::min<std::size_t>(printer.blockSize(), blockSize); };
    // An empty profile is refused before the printer is spoken to.
    std::size_t length = capacity();
    if (!file.read(block.get(), length) || length == 0)
        return file.size() == 0 ? InstallResult::EmptyFile : InstallResult::Failed;
    printer.watchCancel(&control.cancel);
    if (!printer.open())
        return control.cancel.load() ? InstallResult::Canceled : InstallResult::Failed;

    const std::uint64_t total = file.size();
    TakenProgress taken(printer, control.progress, total);
    // A canceled installation stops at once: waiting for the printer's
    // answer to a profile it only got part of would hold the user up for
    // nothing.
    do {
        if (control.cancel.load())
            return InstallResult::Canceled;
        taken.writing(length);
        if (!printer.write(block.get(), length))
            return control.cancel.load() ? InstallResult::Canceled : InstallResult::Failed;
        taken.written();
        length = capacity();
    } while (file.read(block.get(), length) && length > 0);
    if (taken.sent() != total)
        return InstallResult::Failed;
    // The same rule as a download: bytes that only reached this side's
    // buffers, or that a printer which had stopped reading acknowledged,
    // were not installed.
    if (!printer.awaitTaken(taken.report()))
        return control.cancel.load() ? InstallResult::Canceled : InstallResult::Failed;

    // The answer is read once; no answer within the connection's time-out
    // counts as accepted.
    length = blockSize - 1;
    if (printer.read(block.get(), length) && length > 0) {
        block[length] = '\0';
        resultCode = std::strtol(reinterpret_cast<const char*>(block.get()), nullptr, 10);
        if (resultCode != 0)
            return InstallResult::Refused;
    } else if (printer.peerDropped()) {
        // Not silence but a printer that threw the profile away.
        return InstallResult::Failed;
    }
    if (control.cancel.load())
        return InstallResult::Canceled;
    control.progress.store(kProgressWhole);
    return InstallResult::Installed;
}

}  // namespace upkeep
