// The checksum list of a signed package: exactly what sha256sum writes, or
// refused whole.

#include <gtest/gtest.h>

#include "package/Sha256Sums.h"

namespace upkeep {
namespace {

const std::string kA(64, 'a');
const std::string kZero(64, '0');

TEST(Sha256Sums, ReadsWhatSha256sumWritesAndRefusesTheRest) {
    struct Case {
        const char* what;
        std::string text;
        const char* problem;  // nullptr: accepted
    };
    const std::vector<Case> cases = {
        {"text and binary marks", kA + "  firmware.ini\n" + kZero + " *m4000_400.fmw\n", nullptr},
        {"upper-case digits", std::string(64, 'F') + "  a.fmw\n", nullptr},
        {"a name with spaces and a directory", kA + "  sub dir/a b.fmw\n", nullptr},
        {"empty", "", "lists no file"},
        {"no final line end", kA + "  a.fmw", "does not end with a line end"},
        {"a blank line", kA + "  a.fmw\n\n", "line 2: not \"SHA-256  NAME\""},
        {"a carriage return", kA + "  a.fmw\r\n", "line 1: control character in file name"},
        {"a zero byte", kA + "  a" + std::string(1, '\0') + ".fmw\n", "holds a zero byte"},
        {"63 digits", std::string(63, 'a') + "  a.fmw\n", "line 1: not 64 hexadecimal digits"},
        {"65 digits", std::string(65, 'a') + "  a.fmw\n", "line 1: not \"SHA-256  NAME\""},
        {"a letter that is no digit", std::string(63, 'a') + "g  a.fmw\n",
         "line 1: not 64 hexadecimal digits"},
        {"one space", kA + " a.fmw\n", "line 1: not \"SHA-256  NAME\""},
        {"no name", kA + "  \n", "line 1: not \"SHA-256  NAME\""},
        {"an absolute path", kA + "  /etc/passwd\n", "line 1: absolute path"},
        {"a parent directory", kA + "  ../a.fmw\n",
         "line 1: file name with an empty, \".\" or \"..\" part"},
        {"a parent directory inside", kA + "  sub/../../a.fmw\n",
         "line 1: file name with an empty, \".\" or \"..\" part"},
        {"a dot directory", kA + "  ./a.fmw\n",
         "line 1: file name with an empty, \".\" or \"..\" part"},
        {"a double slash", kA + "  sub//a.fmw\n",
         "line 1: file name with an empty, \".\" or \"..\" part"},
        {"an escaped name", "\\" + kA + "  a\\nb.fmw\n", "line 1: not 64 hexadecimal digits"},
        {"a name listed twice", kA + "  a.fmw\n" + kZero + "  a.fmw\n",
         "line 2: file listed twice"},
        {"too large", std::string(Sha256Sums::kMaxSize + 1, 'a'), "larger than 1048576 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string problem;
        std::optional<Sha256Sums> sums = parseSha256Sums(c.text, problem);
        if (c.problem == nullptr) {
            ASSERT_TRUE(sums) << problem;
            EXPECT_TRUE(problem.empty());
        } else {
            EXPECT_FALSE(sums);
            EXPECT_EQ(problem, c.problem);
        }
    }
}

TEST(Sha256Sums, FindsEachFileWithItsDigest) {
    std::string problem;
    auto sums = parseSha256Sums(
        "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF  firmware.ini\n" + kZero +
            " *m4000_400.fmw\n",
        problem);
    ASSERT_TRUE(sums) << problem;
    ASSERT_NE(sums->find("firmware.ini"), nullptr);
    EXPECT_EQ(toHex(*sums->find("firmware.ini")),
              "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
    ASSERT_NE(sums->find("m4000_400.fmw"), nullptr);
    EXPECT_EQ(toHex(*sums->find("m4000_400.fmw")), kZero);
    EXPECT_EQ(sums->find("*m4000_400.fmw"), nullptr);
    EXPECT_EQ(sums->find("m4000_310.fmw"), nullptr);
}

TEST(Sha256Sums, RefusesMoreFilesThanAPackageHolds) {
    std::string text;
    for (std::size_t i = 0; i <= Sha256Sums::kMaxFiles; ++i)
        text += kA + "  f" + std::to_string(i) + "\n";
    std::string problem;
    EXPECT_FALSE(parseSha256Sums(text, problem));
    EXPECT_EQ(problem, "line 4097: more than 4096 files");
}

}  // namespace
}  // namespace upkeep
