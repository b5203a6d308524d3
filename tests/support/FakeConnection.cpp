#include "support/FakeConnection.h"

#include <algorithm>
#include <cstring>

namespace upkeep::test {

bool MemoryFile::read(std::uint8_t* buffer, std::size_t& length) {
    ++reads;
    if (offset_ >= failReadAt) {
        length = 0;
        return false;
    }
    std::size_t n = std::min({length, chunk, content_.size() - offset_});
    std::memcpy(buffer, content_.data() + offset_, n);
    offset_ += n;
    length = n;
    return n > 0;
}

bool RecordingPrinter::read(std::uint8_t* buffer, std::size_t& length) {
    if (replies.empty()) {
        length = 0;
        return false;
    }
    std::string reply = replies.front();
    replies.erase(replies.begin());
    std::size_t n = std::min(length, reply.size());
    std::memcpy(buffer, reply.data(), n);
    length = n;
    return true;
}

bool RecordingPrinter::write(const std::uint8_t* buffer, std::size_t length) {
    if (total + length > failAfterBytes)
        return false;
    total += length;
    if (keep)
        received.append(reinterpret_cast<const char*>(buffer), length);
    writes.push_back(length);
    if (onWrite)
        onWrite(writes.size() - 1);
    return true;
}

}  // namespace upkeep::test
