// upkeepctl check, upgrade, downgrade and send against simulated printers.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "integration/sim/SimHelpers.h"
#include "support/CommandRunner.h"
#include "support/Paths.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

class DownloadCli : public ::testing::Test {
  protected:
    test::CommandResult ctl(std::vector<std::string> args) {
        args.insert(args.begin(), test::ctlPath());
        args.push_back("--package");
        args.push_back(test::examplePackageDir());
        return test::runCommand(args,
                                {{"UPKEEP_TIME_SCALE", "0.01"}, {"LANG", "C"}, {"LC_ALL", ""}});
    }
};

TEST_F(DownloadCli, CheckListsTargetsInOrderWithTheirStates) {
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-5200", "6.00", "subsystem = Finisher-F2 | F2.10\n") +
        test::simPrinter(2, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto r = ctl({"check", "--json", sim.address(1), sim.address(0)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string expected =
        "[\n  {\"name\": \"" + sim.address(1) +
        "\", \"state\": \"notReachable\", \"effectiveState\": \"notReachable\", \"stateText\": "
        "\"Could not access\", \"model\": \"\", \"version\": \"\", \"modelText\": \"\", "
        "\"versionText\": \"\", \"subsystems\": []},\n  {\"name\": \"" +
        sim.address(0) +
        "\", \"state\": \"upToDate\", \"effectiveState\": \"upgradeAvailable\", \"stateText\": "
        "\"Upgrade available\", \"model\": \"Meridot-5200\", \"version\": \"6.00\", \"modelText\": "
        "\"Meridot-5200 Finisher-F2 \", \"versionText\": \"6.00 F2.10 \", \"subsystems\": "
        "[{\"model\": \"Finisher-F2\", \"version\": \"F2.10\", \"state\": "
        "\"upgradeAvailable\"}]}\n]\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(ctl({"check"}).exitCode, 2);
}

TEST_F(DownloadCli, UpgradeDowngradeAndRefusals) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10") +
                         test::simPrinter(2, "Meridot-9999", "1.0") +
                         test::simPrinter(3, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto up = ctl({"upgrade", sim.address(0)});
    EXPECT_EQ(up.exitCode, 0) << up.err;
    EXPECT_EQ(up.out, "Upgrade successfully sent.\n");
    ASSERT_TRUE(sim.waitForLine("applied " + sim.address(0)));

    auto again = ctl({"upgrade", sim.address(0)});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out,
              "The printer has the latest system software provided with this program.\n");

    auto same = ctl({"downgrade", sim.address(0), "4.00"});
    EXPECT_EQ(same.exitCode, 1);
    auto missing = ctl({"downgrade", sim.address(0), "2.00"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("could not be found"), std::string::npos) << missing.err;
    auto down = ctl({"downgrade", sim.address(0), "3.20"});
    EXPECT_EQ(down.exitCode, 0) << down.err;
    EXPECT_EQ(down.out, "Downgrade successfully sent.\n");
    ASSERT_TRUE(sim.waitForLine("applied " + sim.address(0)));

    auto unsupported = ctl({"upgrade", sim.address(1)});
    EXPECT_EQ(unsupported.exitCode, 1);
    EXPECT_NE(unsupported.err.find("does not support upkeep"), std::string::npos);
    auto silent = ctl({"upgrade", sim.address(2)});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_NE(silent.err.find("could not be contacted"), std::string::npos);

    // A forced send does not look at the printer's state.
    auto forced = ctl({"send", sim.address(2), test::examplePackageDir() + "/m4000_310.fmw"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    auto noFile = ctl({"send", sim.address(2), "/no/such/file.fmw"});
    EXPECT_EQ(noFile.exitCode, 1);

    // A file named relative to where the tool runs is that file, not the
    // package's file of the same name.
    const std::string here = ::testing::TempDir() + "upkeep-cli-" + std::to_string(::getpid());
    std::filesystem::create_directories(here);
    std::ofstream(here + "/m4000_310.fmw") << "the user's own file";
    const std::string before = std::filesystem::current_path().string();
    std::filesystem::current_path(here);  // the tool starts in the test's directory
    auto relative = ctl({"send", sim.address(2), "m4000_310.fmw"});
    std::filesystem::current_path(before);
    EXPECT_EQ(relative.exitCode, 0) << relative.err;
    std::filesystem::remove_all(here);
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(2) + " 1 "));
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(2) + " 2 "));
    EXPECT_EQ(sim.record(2, 2), "the user's own file");
}

}  // namespace
}  // namespace upkeep
