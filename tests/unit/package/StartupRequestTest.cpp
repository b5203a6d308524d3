#include <gtest/gtest.h>

#include "package/StartOptions.h"
#include "platform/Clock.h"
#include "platform/WorkingDirectory.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

using test::TempDir;

struct StartupCase {
    const char* name;
    std::optional<std::string> content;  // none: no file
    std::uint32_t firmwareMode;
    std::uint32_t mediaMode;
    std::string argument;
    bool fileStays;
    bool refused = false;
};

TEST(StartupRequest, ReadsAndConsumesTheFile) {
    const std::vector<StartupCase> cases = {
        {"firmware in capitals, name with spaces", "FIRMWARE\nPlotter  Room 2 #3\n", 1, 0,
         "Plotter  Room 2 #3", false},
        {"medaform, rest of line ignored, blank line", "medaform please now\n\n  /p/paper.pdw\n", 0,
         1, "/p/paper.pdw", false},
        {"mixed case, CR LF", "FirmWare\r\nQueue 7\r\n", 1, 0, "Queue 7", false},
        {"word only", "firmware", 1, 0, "", false},
        {"word and line end only", "medaform\n\n", 0, 1, "", false},
        {"comment between word and argument", "firmware\n# who asked\nPrinter\n", 1, 0, "Printer",
         false},
        {"unknown word", "upgrade\nPrinter\n", 0, 0, "", true},
        {"word with a suffix is unknown", "firmwares\nPrinter\n", 0, 0, "", true},
        {"comments and blanks only", "# nothing\n\n   \n", 0, 0, "", false},
        {"empty file", "", 0, 0, "", false},
        {"no file", std::nullopt, 0, 0, "", false},
        {"longest argument", "firmware\n" + std::string(255, 'a') + "\n", 1, 0,
         std::string(255, 'a'), false},
        // Cut, it could name another printer or file.
        {"longer argument is refused", "medaform\n" + std::string(256, 'a') + "\n", 0, 1, "", false,
         true},
    };
    platform::ScopedTimeScale fast(0.001);
    for (const StartupCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        platform::ScopedWorkingDirectory inDir(dir.path());
        if (c.content)
            test::writeFile(dir.file("startup"), *c.content);
        StartOptions options;
        options.argument = "stale";
        options.firmwareMode = options.mediaMode = 1;
        options.language = 7;
        readStartupRequest(options);
        EXPECT_EQ(options.firmwareMode, c.firmwareMode);
        EXPECT_EQ(options.mediaMode, c.mediaMode);
        EXPECT_EQ(options.argument.view(), c.argument);
        EXPECT_EQ(options.argumentRefused, c.refused);
        EXPECT_EQ(options.language, 7);  // not the request file's business
        EXPECT_EQ(test::fileExists(dir.file("startup")), c.fileStays);
    }
}

}  // namespace
}  // namespace upkeep
