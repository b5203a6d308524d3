#include "cli/TerminalText.h"

#include <gtest/gtest.h>

namespace upkeep::cli {
namespace {

TEST(TerminalText, EscapesControlsAndBrokenBytes) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"Meridot-4000 v1.2", "Meridot-4000 v1.2"},
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

}  // namespace
}  // namespace upkeep::cli
