#pragma once
// The tokenizer of the program's section files (the firmware catalogue and
// the start-up request file). It pulls bytes from an open Connection through
// a fixed buffer and hands out one item at a time: a section header, or a
// key/value line. It never reports a syntax error: text that is not a header
// is a key/value item.
//
// Every text operation copies into a buffer the caller gives (a span of
// chars, the terminating zero byte included). A text longer than the buffer
// is cut: the whole text is still consumed from the input, the buffer gets
// as much as fits and is always terminated, and the reader says so, so that
// a caller can refuse a name rather than take its cut form for another.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "connection/Connection.h"

namespace upkeep {

enum class SectionItemKind : std::uint32_t {
    Header = 0,     // header whose name begins with "HEADER"
    Section = 1,    // any other header (in the catalogue: a printer model)
    KeyValue = 2,   // key/value line
    System = 3,     // header whose name begins with "SYSTEM"
    Subsystem = 4,  // header whose name begins with "SUBSYSTEM"
};

class SectionReader {
  public:
    static constexpr std::size_t kBufferSize = 1024;

    // The source must be open; it is neither closed nor deleted here.
    // bufferSize is for tests; the program always uses the default.
    explicit SectionReader(Connection& source, std::size_t bufferSize = kBufferSize);
    SectionReader(const SectionReader&) = delete;
    SectionReader& operator=(const SectionReader&) = delete;

    // The next block of the source into the window; false at the end.
    bool refill();
    // The next byte, without / with consuming it; 0 at the end of input.
    char peekChar();
    char getChar();

    // Consumes blanks and "#" comments; true in front of a significant byte.
    bool skipBlanks();
    // Bytes up to space, TAB, "#", LF, "]" or CR (not consumed). True also
    // when the word is empty; false only at the end of input with nothing
    // read.
    bool readWord(std::span<char> out);
    // Bytes up to CR or LF (not consumed); an empty span only consumes.
    // True at the line end; at the end of input true when something was read.
    bool readRestOfLine(std::span<char> out);
    // Bytes up to "=" (consumed, not stored), line ends included. At the end
    // of input true when something was read.
    bool readKey(std::span<char> out);

    // The next item: first gets a header's name or a key, second a header's
    // rest of line or a value. False at the end of input.
    bool nextItem(SectionItemKind& kind, std::span<char> first, std::span<char> second);

    // Whether the last text operation cut its text to the buffer.
    bool lastTextCut() const { return lastCut_; }
    // Whether the last item's first or second text was cut.
    bool firstCut() const { return firstCut_; }
    bool secondCut() const { return secondCut_; }

    // How a header name is classified.
    static SectionItemKind classify(const char* name);

  private:
    // Copies bytes until stop(byte) or the end of input; counts what it took.
    template <typename Stop>
    std::size_t copyUntil(std::span<char> out, Stop stop);

    std::vector<std::uint8_t> buffer_;
    std::size_t capacity_ = 0;
    std::size_t current_ = 0;
    std::size_t end_ = 0;
    Connection& source_;
    bool lastCut_ = false;
    bool firstCut_ = false;
    bool secondCut_ = false;
};

}  // namespace upkeep
