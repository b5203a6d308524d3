#include "package/SectionReader.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace upkeep {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool endsWord(char c) {
    return c == ' ' || c == '\t' || c == '#' || c == '\n' || c == ']' || c == '\r';
}

bool endsLine(char c) {
    return c == '\r' || c == '\n';
}

// Stores as much as fits of a text being built byte by byte, and keeps the
// buffer terminated at every step.
class BoundedOut {
  public:
    explicit BoundedOut(std::span<char> out) : out_(out) {
        if (!out_.empty())
            out_[0] = '\0';
    }
    void put(char c) {
        if (used_ + 1 < out_.size()) {
            out_[used_++] = c;
            out_[used_] = '\0';
        } else {
            cut_ = true;
        }
    }
    bool cut() const { return cut_; }

  private:
    std::span<char> out_;
    std::size_t used_ = 0;
    bool cut_ = false;
};

}  // namespace

SectionReader::SectionReader(Connection& source, std::size_t bufferSize) : source_(source) {
    try {
        buffer_.resize(bufferSize);
        capacity_ = bufferSize;
    } catch (const std::bad_alloc&) {
        capacity_ = 0;  // reports the end of input at once
    }
    refill();
}

bool SectionReader::refill() {
    current_ = 0;
    end_ = 0;
    if (capacity_ == 0)
        return false;
    std::size_t length = capacity_;
    if (!source_.read(buffer_.data(), length))
        return false;
    end_ = std::min(length, capacity_);
    return end_ > 0;
}

char SectionReader::peekChar() {
    if (current_ >= end_ && !refill())
        return '\0';
    return static_cast<char>(buffer_[current_]);
}

char SectionReader::getChar() {
    if (current_ >= end_ && !refill())
        return '\0';
    return static_cast<char>(buffer_[current_++]);
}

template <typename Stop>
std::size_t SectionReader::copyUntil(std::span<char> out, Stop stop) {
    BoundedOut text(out);
    std::size_t taken = 0;
    while (true) {
        lastCut_ = text.cut();
        if (current_ >= end_ && !refill())
            return taken;
        char c = static_cast<char>(buffer_[current_]);
        if (stop(c))
            return taken;
        ++current_;
        ++taken;
        text.put(c);
    }
}

bool SectionReader::skipBlanks() {
    bool inComment = false;
    while (true) {
        if (current_ >= end_ && !refill())
            return false;
        char c = static_cast<char>(buffer_[current_]);
        if (inComment) {
            if (endsLine(c))
                inComment = false;
        } else if (c == '#') {
            inComment = true;
        } else if (!isBlank(c)) {
            return true;
        }
        ++current_;
    }
}

bool SectionReader::readWord(std::span<char> out) {
    std::size_t taken = copyUntil(out, endsWord);
    if (current_ < end_)
        return true;  // stopped in front of a delimiter
    return taken > 0;
}

bool SectionReader::readRestOfLine(std::span<char> out) {
    std::size_t taken = copyUntil(out, endsLine);
    if (current_ < end_)
        return true;
    return taken > 0;
}

bool SectionReader::readKey(std::span<char> out) {
    std::size_t taken = copyUntil(out, [](char c) { return c == '='; });
    if (current_ < end_) {
        ++current_;  // the "="
        return true;
    }
    return taken > 0;
}

SectionItemKind SectionReader::classify(const char* name) {
    auto startsWith = [name](const char* word) {
        std::size_t length = std::strlen(word);
        return std::strlen(name) >= length && ::strncasecmp(name, word, length) == 0;
    };
    if (startsWith("HEADER"))
        return SectionItemKind::Header;
    if (startsWith("SYSTEM"))
        return SectionItemKind::System;
    if (startsWith("SUBSYSTEM"))
        return SectionItemKind::Subsystem;
    return SectionItemKind::Section;
}

bool SectionReader::nextItem(SectionItemKind& kind, std::span<char> first, std::span<char> second) {
    BoundedOut clearFirst(first);
    BoundedOut clearSecond(second);
    firstCut_ = secondCut_ = false;
    if (!skipBlanks())
        return false;
    if (peekChar() == '[') {
        getChar();
        if (!skipBlanks())
            return false;
        if (!readWord(first))
            return false;
        firstCut_ = lastCut_;
        readRestOfLine(second);
        secondCut_ = lastCut_;
        kind = first.empty() ? SectionItemKind::Section : classify(first.data());
        return true;
    }
    if (!readKey(first))
        return false;
    firstCut_ = lastCut_;
    readWord(second);
    secondCut_ = lastCut_;
    readRestOfLine({});
    kind = SectionItemKind::KeyValue;
    return true;
}

}  // namespace upkeep
