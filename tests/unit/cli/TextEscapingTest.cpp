// Text the command-line tool writes: JSON strings, and terminal output.

#include <gtest/gtest.h>

#include "cli/Json.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "cli/Utf8.h"
#include "resources/Strings.h"

namespace upkeep::cli {
namespace {

TEST(JsonString, EscapesAndKeepsValidUtf8) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"a\"b\\c\n\t\r", "\"a\\\"b\\\\c\\n\\t\\r\""},
        {std::string("\x01", 1), "\"\\u0001\""},
        {"Drucker \xc3\xa4", "\"Drucker \xc3\xa4\""},  // valid UTF-8 stays
        {"\xe3\x83\x97", "\"\xe3\x83\x97\""},          // three bytes
        // Anything not well-formed becomes U+FFFD, one per broken piece.
        {"caf\xe9", "\"caf\xef\xbf\xbd\""},
        {"\xc3", "\"\xef\xbf\xbd\""},                                  // cut sequence
        {"\xe3\x83x", "\"\xef\xbf\xbdx\""},                            // cut before x
        {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // a surrogate
        {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                  // overlong
        {"\xf5\x80\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // no lead past F4
        {"\xf0\x9f\x96\xa8", "\"\xf0\x9f\x96\xa8\""},                  // four bytes
        {"\x7f", "\"\\u007f\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jsonString(c.in), c.out) << c.in;
}

TEST(TerminalText, EscapesControlsAndBrokenBytes) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"C:\\Pkg \xc3\xa4\xe3\x83\x97", "C:\\Pkg \xc3\xa4\xe3\x83\x97"},  // valid UTF-8 stays
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},                        // window title
        {"a\x1b[2Jb\r\n\t\x7f", "a\\x1b[2Jb\\x0d\\x0a\\x09\\x7f"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\xc2\x9b"
         "2J",
         "\\xc2\\x9b2J"},  // C1 control as UTF-8
        {"caf\xe9 \xf5\x80", "caf\\xe9 \\xf5\\x80"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(terminalText(c.in), c.out) << c.in;
}

// Columns a terminal gives a text, and a table padded by them.
TEST(TerminalText, DisplayWidthLinesUpColumns) {
    const struct {
        std::string in;
        std::size_t width;
    } cases[] = {
        {"Name", 4},
        {"Prüfung", 7},                   // two-byte letters: one column
        {"u\xcc\x88", 1},                 // a combining diaeresis: none
        {"\xe6\x99\x82\xe5\x88\xbb", 4},  // 時刻: two wide characters
        {"\xe3\x83\x8f\xe3\x82\x9a", 2},  // ハ and a combining mark
        {"\xef\xbc\xa1", 2},              // a fullwidth A
        {"caf\xe9", 4},                   // a broken byte shows as one
    };
    for (const auto& c : cases)
        EXPECT_EQ(displayWidth(c.in), c.width) << c.in;
    EXPECT_EQ(columns({{"\xe6\x99\x82\xe5\x88\xbb", "x"}, {"ab", "y"}, {"abcdef"}}),
              "\xe6\x99\x82\xe5\x88\xbb  x\nab    y\nabcdef\n");
}

// What --json and the history keep in English is shown in the user's
// language, details and all; anything else stays as it is.
TEST(Texts, EnglishValuesAreShownInTheCurrentLanguage) {
    resources::setCurrentTable(resources::Table::German);
    const struct {
        std::string value, shown;
    } cases[] = {
        {english(text::kCanceledBecause, {english(text::kDidNotFinish)}),
         "abgebrochen: die Übertragung wurde nicht beendet"},
        {english(text::kVersionNotListed, {"2.50", "M-4000"}),
         "Das Paket enthält keine Version 2.50 für M-4000."},
        {english(text::kPathTooLong, {"79", "/a b"}),
         "der Pfad ist länger als 79 Zeichen oder enthält ein Null-Byte: /a b"},
        {"not verified: the printer reports M 1.0", "nicht bestätigt: der Drucker meldet M 1.0"},
        {english(181) + " (x.fmw)", std::string(resources::text(181)) + " (x.fmw)"},
        {"a printer's own words (5)", "a printer's own words (5)"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(c.value), c.shown) << c.value;
    EXPECT_EQ(outcomeShown("upToDate"), "aktuell");
    EXPECT_EQ(outcomeShown("somethingNew"), "somethingNew");
    resources::setCurrentTable(resources::Table::EnglishUS);
    EXPECT_EQ(shown(english(text::kDidNotFinish)), "the download did not finish");
}

}  // namespace
}  // namespace upkeep::cli
