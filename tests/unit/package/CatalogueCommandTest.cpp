// upkeepctl catalogue on the sample package and on malformed catalogues.

#include <gtest/gtest.h>

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

TEST(CatalogueCommand, MalformedCataloguesGiveWhatWasReadBeforeTheFault) {
    struct Case {
        const char* dir;
        std::string head;  // location and date
        std::string rest;  // from the system pair on
    };
    const std::string file79 = std::string(75, 'p') + ".fmw";
    const std::string m = R"("system": {"model": "m", "version": "v", "usable": true}, )";
    auto entry = [](const std::string& version, const std::string& file, const char* state,
                    bool optional = false) {
        return R"({"version": ")" + version + R"(", "file": ")" + file + R"(", "state": ")" +
               state + R"(", "optional": )" + (optional ? "true" : "false") +
               R"(, "check": "unsigned"})";
    };
    auto model = [](const std::string& entries, bool optional = false) {
        return R"({"model": "Meridot-4000", "optional": )" +
               std::string(optional ? "true" : "false") + R"(, "usable": true, "entries": [)" +
               entries + "]}";
    };
    const std::vector<Case> cases = {
        {"header-not-first", R"("location": null, "date": null)",
         R"("system": {"model": null, "version": null, "usable": false}, "subsystems": [], )"
         R"("models": [])"},
        {"no-subsystem",
         R"("location": "https://support.example.com/%s/%s/%s/%s", "date": "2026-01-02")",
         R"("system": {"model": "1.3.6.1.3.77.1.1.0", "version": "1.3.6.1.3.77.1.2.0", )"
         R"("usable": true}, "subsystems": [], "models": [])"},
        {"system-only", R"("location": "", "date": "")", m + R"("subsystems": [], "models": [])"},
        {"repeated-sections",
         R"("location": "https://support.example.com/x?v=%s&l=%s&s=%s&m=%s", "date": "")",
         R"("system": {"model": "model.oid", "version": "version.oid", "usable": true}, )"
         R"("subsystems": [{"model": "s1m", "version": "s1v", "usable": true}, )"
         R"({"model": "s2m", "version": "s2v", "usable": true}], "models": [)" +
             model(entry("1.00", "present.fmw", "present") + ", " +
                   entry("2.00", "missing.fmw", "missing")) +
             R"(, {"model": "Empty", "optional": false, "usable": true, "entries": []}, )" +
             model(entry("3.00", "present.fmw", "present", true), true) + ", " +
             model(entry("4.00", "missing.fmw", "missing")) + "]"},
        // The second file name is cut to the first: refused, not sent.
        {"too-long", R"("location": "", "date": "")",
         m + R"("subsystems": [], "models": [)" +
             model(entry("1.00", file79, "present") + ", " + entry("2.00", file79, "notUsable")) +
             "]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir);
        test::CommandResult result = catalogue({"--json", "--package", fixture(c.dir)});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        // None of these packages lists checksums: each says so.
        EXPECT_EQ(result.out, R"({"loaded": true, )" + c.head +
                                  R"(, "package": {"state": "unsigned", "fingerprint": null, )"
                                  R"("userId": null, "reason": null}, )" +
                                  c.rest + "}\n");
    }
}

// The sample package's contents are checked by the catalogue tests; here
// only the table form, which no other test reads.
TEST(CatalogueCommand, SamplePackageAsATable) {
    test::CommandResult table = catalogue({"--package", test::examplePackageDir()});
    EXPECT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(table.out.find("[Finisher-F2]"), std::string::npos);
    EXPECT_NE(table.out.find("m4000_400.fmw"), std::string::npos);
    // It ships signed by the example key, which the tests trust.
    EXPECT_NE(table.out.find("package:   signed by DC48D7406BC63A5539FB6071F2E5AA20F2782895 "
                             "Upkeep example package <example@upkeep.invalid>"),
              std::string::npos)
        << table.out;
    EXPECT_NE(table.out.find("present, verified"), std::string::npos) << table.out;
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
