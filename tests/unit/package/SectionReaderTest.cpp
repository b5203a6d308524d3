#include "package/SectionReader.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "support/FakeConnection.h"

namespace upkeep {
namespace {

using test::MemoryFile;

struct Item {
    SectionItemKind kind;
    std::string first;
    std::string second;
    friend bool operator==(const Item&, const Item&) = default;
};

std::ostream& operator<<(std::ostream& out, const Item& item) {
    return out << "{" << static_cast<int>(item.kind) << ", '" << item.first << "', '" << item.second
               << "'}";
}

std::vector<Item> readAll(const std::string& content, std::size_t chunk = 4096,
                          std::size_t firstSize = 80, std::size_t secondSize = 80) {
    MemoryFile source(content);
    source.chunk = chunk;
    SectionReader reader(source);
    std::vector<Item> items;
    std::vector<char> first(firstSize), second(secondSize);
    SectionItemKind kind{};
    while (reader.nextItem(kind, first, second))
        items.push_back(
            {kind, first.empty() ? "" : first.data(), second.empty() ? "" : second.data()});
    return items;
}

constexpr auto H = SectionItemKind::Header;
constexpr auto S = SectionItemKind::Section;
constexpr auto KV = SectionItemKind::KeyValue;
constexpr auto SYS = SectionItemKind::System;
constexpr auto SUB = SectionItemKind::Subsystem;

struct Case {
    const char* name;
    std::string input;
    std::vector<Item> items;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        {"empty", "", {}},
        {"blanks and comments only", "  \n# only a comment\n\t\r\n#last", {}},
        {"header", "[HEADER]", {{H, "HEADER", "]"}}},
        {"comment before header", "# note\n[HEADER]\n", {{H, "HEADER", "]"}}},
        {"header lower case", "[header]", {{H, "header", "]"}}},
        {"shorter than the word", "[HEAD]", {{S, "HEAD", "]"}}},
        {"subsystem is never system", "[SUBSYSTEM]", {{SUB, "SUBSYSTEM", "]"}}},
        {"longer name keeps the class", "[SYSTEM2]", {{SYS, "SYSTEM2", "]"}}},
        {"optional mark in the rest", "[ A OPTIONAL]", {{S, "A", " OPTIONAL]"}}},
        {"comments and line ends inside brackets",
         "[\n  # c ]\n HEADER] tail",
         {{H, "HEADER", "] tail"}}},
        {"empty name", "[]", {{S, "", "]"}}},
        {"key and value", "date=2001", {{KV, "date", "2001"}}},
        {"blanks around the equals", "date = 2001", {{KV, "date ", ""}}},
        {"value cut at bracket", "k=v]w", {{KV, "k", "v"}}},
        {"value cut at comment", "k=v#c", {{KV, "k", "v"}}},
        {"hash inside a key", "a#b=c", {{KV, "a#b", "c"}}},
        {"key runs over LF", "x\nk=v", {{KV, "x\nk", "v"}}},
        {"key runs over CR LF", "x\r\nk=v", {{KV, "x\r\nk", "v"}}},
        {"equals last in file", "k=", {{KV, "k", ""}}},
        {"header name last in file", "[A", {{S, "A", ""}}},
        {"end inside brackets", "[", {}},
        {"end inside header comment", "[  # c", {}},
        {"key never meets equals", "lonely key", {{KV, "lonely key", ""}}},
        {"rest of value line skipped", "k=v more words\nk2=v2", {{KV, "k", "v"}, {KV, "k2", "v2"}}},
        {"CR line ends",
         "[HEADER]\rdate=1\r[SYSTEM]\ra=b\r",
         {{H, "HEADER", "]"}, {KV, "date", "1"}, {SYS, "SYSTEM", "]"}, {KV, "a", "b"}}},
        {"a small catalogue",
         "[HEADER]\nlocation=x # c\n\n[SYSTEM]\n  a=b\n[M OPTIONAL] # why\n1=f\n",
         {{H, "HEADER", "]"},
          {KV, "location", "x"},
          {SYS, "SYSTEM", "]"},
          {KV, "a", "b"},
          {S, "M", " OPTIONAL] # why"},
          {KV, "1", "f"}}},
    };
    return table;
}

TEST(SectionReader, EdgeCasesWithWholeAndTinyReads) {
    // A source that hands out one or three bytes at a time puts every text
    // across a refill.
    for (std::size_t chunk : {std::size_t{4096}, std::size_t{1}, std::size_t{3}}) {
        for (const Case& c : cases()) {
            EXPECT_EQ(readAll(c.input, chunk), c.items) << c.name << " (chunk " << chunk << ")";
        }
    }
}

// Every text kind placed across the 1024-byte window at every offset
// around the boundary is delivered whole.
TEST(SectionReader, TextsStraddlingTheBufferBoundary) {
    const std::string name = "Meridot-5200";
    const std::string value = "m5200_600.fmw";
    for (std::size_t start = 1000; start < 1040; ++start) {
        // Pad with a comment so that the item begins at byte `start`.
        std::string pad = "#" + std::string(start - 2, 'p') + "\n";
        ASSERT_EQ(pad.size(), start);
        std::string input = pad + "[" + name + " OPTIONAL]\n" + "6.00=" + value + "\n";
        std::vector<Item> expected = {{S, name, " OPTIONAL]"}, {KV, "6.00", value}};
        EXPECT_EQ(readAll(input), expected) << "item at " << start;
        EXPECT_EQ(readAll(pad + "k=" + value), (std::vector<Item>{{KV, "k", value}}))
            << "value at " << start + 2;
    }
}

TEST(SectionReader, LongTextsAreCutButConsumedWhole) {
    std::string longKey(200, 'k');
    std::string longValue(300, 'v');
    std::vector<Item> items = readAll(longKey + "=" + longValue + " tail\n[" + longKey + "]\nb=c");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], (Item{KV, std::string(79, 'k'), std::string(79, 'v')}));
    EXPECT_EQ(items[1], (Item{S, std::string(79, 'k'), "]"}));
    EXPECT_EQ(items[2], (Item{KV, "b", "c"}));

    // A one-byte buffer holds only the terminator; a zero-byte one nothing.
    EXPECT_EQ(readAll("abc=def\n[X]", 4096, 1, 1), (std::vector<Item>{{KV, "", ""}, {S, "", ""}}));
    EXPECT_EQ(readAll("abc=def\nx=y", 4096, 0, 0).size(), 2u);
}

TEST(SectionReader, EndIsReportedAgainAndAgain) {
    MemoryFile source("k=v\n");
    SectionReader reader(source);
    std::array<char, 80> first{}, second{};
    SectionItemKind kind{};
    ASSERT_TRUE(reader.nextItem(kind, first, second));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(reader.nextItem(kind, first, second));
        EXPECT_EQ(reader.peekChar(), '\0');
        EXPECT_EQ(reader.getChar(), '\0');
    }
    // Without a buffer nothing is ever read.
    MemoryFile unread("[HEADER]\n");
    EXPECT_FALSE(SectionReader(unread, 0).nextItem(kind, first, second));
    EXPECT_EQ(unread.reads, 0);
}

// A reader over a text of its own.
struct Reading {
    explicit Reading(std::string text) : source(std::move(text)) {}
    MemoryFile source;
    SectionReader reader{source};
};

TEST(SectionReader, LowerLevelOperationsAtTheEnd) {
    std::array<char, 16> out{};
    Reading word("word");
    EXPECT_TRUE(word.reader.readWord(out));  // something read before the end
    EXPECT_STREQ(out.data(), "word");
    EXPECT_FALSE(word.reader.readWord(out));  // nothing left
    EXPECT_STREQ(out.data(), "");

    Reading bracket("]rest");
    EXPECT_TRUE(bracket.reader.readWord(out));  // stops at once in front of "]"
    EXPECT_STREQ(out.data(), "");
    EXPECT_EQ(bracket.reader.getChar(), ']');

    Reading lines("first line\nsecond");
    EXPECT_TRUE(lines.reader.readRestOfLine({}));  // only consumes
    EXPECT_EQ(lines.reader.getChar(), '\n');
    EXPECT_TRUE(lines.reader.readRestOfLine(out));
    EXPECT_STREQ(out.data(), "second");
    EXPECT_FALSE(lines.reader.readRestOfLine(out));

    Reading blanks("  # c\n\t x");
    EXPECT_TRUE(blanks.reader.skipBlanks());
    EXPECT_EQ(blanks.reader.getChar(), 'x');
    EXPECT_FALSE(blanks.reader.skipBlanks());
}

}  // namespace
}  // namespace upkeep
