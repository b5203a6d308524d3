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
        std::string json;
    };
    const std::string file79 = std::string(75, 'p') + ".fmw";
    const std::vector<Case> cases = {
        {"header-not-first",
         R"({"notLoaded": 0, "location": null, "date": null, "systemModelOid": null, )"
         R"("systemVersionOid": null, "subsystemPairs": [], "models": []})"},
        {"no-subsystem",
         R"({"notLoaded": 0, "location": "https://support.example.com/%s/%s/%s/%s", )"
         R"("date": "2026-01-02", "systemModelOid": "1.3.6.1.3.77.1.1.0", )"
         R"("systemVersionOid": "1.3.6.1.3.77.1.2.0", "subsystemPairs": [], "models": []})"},
        {"system-only", R"({"notLoaded": 0, "location": "", "date": "", "systemModelOid": "m", )"
                        R"("systemVersionOid": "v", "subsystemPairs": [], "models": []})"},
        {"repeated-sections",
         R"({"notLoaded": 0, "location": "https://support.example.com/x?v=%s&l=%s&s=%s&m=%s", )"
         R"("date": "", "systemModelOid": "model.oid", "systemVersionOid": "version.oid", )"
         R"("subsystemPairs": [["s1m", "s1v"], ["s2m", "s2v"]], "models": [)"
         R"({"model": "Meridot-4000", "entries": [)"
         R"({"version": "1.00", "fileName": "present.fmw", "optional": false, "usable": true, "filePresent": true, "verification": "unsigned"}, )"
         R"({"version": "2.00", "fileName": "missing.fmw", "optional": false, "usable": true, "filePresent": false, "verification": "unsigned"}]}, )"
         R"({"model": "Empty", "entries": []}, )"
         R"({"model": "Meridot-4000", "entries": [)"
         R"({"version": "3.00", "fileName": "present.fmw", "optional": true, "usable": true, "filePresent": true, "verification": "unsigned"}]}, )"
         R"({"model": "Meridot-4000", "entries": [)"
         R"({"version": "4.00", "fileName": "missing.fmw", "optional": false, "usable": true, "filePresent": false, "verification": "unsigned"}]}]})"},
        // The second file name is cut to the first: refused, not sent.
        {"too-long",
         R"({"notLoaded": 0, "location": "", "date": "", "systemModelOid": "m", )"
         R"("systemVersionOid": "v", "subsystemPairs": [], "models": [)"
         R"({"model": "Meridot-4000", "entries": [{"version": "1.00", "fileName": ")" +
             file79 +
             R"(", "optional": false, "usable": true, "filePresent": true, "verification": "unsigned"}, )"
             R"({"version": "2.00", "fileName": ")" +
             file79 +
             R"(", "optional": false, "usable": false, "filePresent": false, "verification": "unsigned"}]}]})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir);
        test::CommandResult result = catalogue({"--json", "--package", fixture(c.dir)});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        // None of these packages lists checksums: each ends saying so.
        const std::string unsignedPackage =
            R"(, "signature": {"state": "unsigned", "fingerprint": null, "userId": null, )"
            R"("reason": null})";
        EXPECT_EQ(result.out, c.json.substr(0, c.json.size() - 1) + unsignedPackage + "}\n");
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
    EXPECT_NE(configured.out.find(R"("systemModelOid": "m")"), std::string::npos);

    test::CommandResult missing = catalogue({"--package", dir.path(), "--json"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out.rfind(R"({"notLoaded": 1, "location": null)", 0), 0u);
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);
}

TEST(CatalogueCommand, UsageErrors) {
    for (const char* arg : {"--package", "--jsn", "extra"})
        EXPECT_EQ(catalogue({arg}).exitCode, 2) << arg;
}

}  // namespace
}  // namespace upkeep
