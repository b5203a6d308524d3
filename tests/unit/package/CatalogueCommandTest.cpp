// upkeepctl catalogue on malformed catalogues, and where it looks for one.

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/CommandRunner.h"
#include "support/Paths.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

std::string fixture(const std::string& name) {
    return test::sourceDir() + "/tests/fixtures/package/" + name;
}

// Runs upkeepctl catalogue with a settings file that names no catalogue,
// unless the test gives one.
test::CommandResult catalogue(std::vector<std::string> args,
                              const std::string& registry = "/nonexistent/upkeep.reg") {
    args.insert(args.begin(), {test::ctlPath(), "catalogue"});
    return test::runCommand(args, {{"UPKEEP_REGISTRY", registry}});
}

// Each fixture package holds beside its catalogue the --json it gives:
// what was read before the fault. None lists checksums, so each says it is
// unsigned. In too-long the second file name is cut to the first: refused,
// not sent.
TEST(CatalogueCommand, MalformedCataloguesGiveWhatWasReadBeforeTheFault) {
    for (const char* dir :
         {"header-not-first", "no-subsystem", "system-only", "repeated-sections", "too-long"}) {
        SCOPED_TRACE(dir);
        test::CommandResult result = catalogue({"--json", "--package", fixture(dir)});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, test::readFile(fixture(dir) + "/catalogue.json"));
    }
}

TEST(CatalogueCommand, FallsBackToTheSettingsThenFails) {
    test::TempDir dir;
    test::writeFile(dir.file("upkeep.reg"),
                    "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnholt\\Meridot Upkeep]\n"
                    "\"Firmware\"=\"" +
                        fixture("system-only/firmware.ini") + "\"\n");
    test::CommandResult configured =
        catalogue({"--package", dir.path(), "--json"}, dir.file("upkeep.reg"));
    EXPECT_EQ(configured.exitCode, 0) << configured.err;
    EXPECT_NE(configured.out.find(R"("system": {"model": "m")"), std::string::npos);

    test::CommandResult missing = catalogue({"--package", dir.path(), "--json"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out.rfind(R"({"loaded": false, "location": null)", 0), 0u);
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);
}

TEST(CatalogueCommand, UsageErrors) {
    for (const char* arg : {"--package", "--jsn", "extra"})
        EXPECT_EQ(catalogue({arg}).exitCode, 2) << arg;
}

}  // namespace
}  // namespace upkeep
