// Media profiles against simulated printers: the SNMP walk, the PJL list
// job over a pty, and installation with the printer's answer.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "media/MediaProfileList.h"
#include "platform/Clock.h"
#include "printer/Printer.h"
#include "printer/SendEngine.h"
#include "support/CommandRunner.h"
#include "support/Paths.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

std::string profilePath() {
    return test::sourceDir() + "/examples/profiles/baryta-satin.pdw";
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* kFleet = R"(
[printer]
address = @ADDR1@
media = Photo | Glossy
media = Photo | Matte 7
media = Fine Art | Canvas
media = Fine Art | Rag
pty = yes
[printer]
address = @ADDR2@
profile-answer = 12
[printer]
address = @ADDR3@
snmp = silent
)";

TEST(MediaSim, SnmpWalkStopsAtTheFirstUnansweredRow) {
    test::SimProcess sim(kFleet);
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.01);
    MediaProfileList list(PortDescriptor(sim.address(0), PortType::TcpIp, 7));
    ASSERT_EQ(list.count(), 4u);
    EXPECT_TRUE(list.reached());
    EXPECT_EQ(list.entry(0), "Photo                Glossy              ");
    EXPECT_EQ(list.entry(1).size(), 41u);
    EXPECT_EQ(list.entry(3), "Fine Art             Rag                 ");

    MediaProfileList silent(PortDescriptor(sim.address(2), PortType::TcpIp, 7));
    EXPECT_EQ(silent.count(), 0u);
    EXPECT_FALSE(silent.reached());
    MediaProfileList empty(PortDescriptor(sim.address(1), PortType::TcpIp, 7));
    EXPECT_EQ(empty.count(), 0u);
    EXPECT_TRUE(empty.reached());
}

TEST(MediaSim, UsbPrinterIsListedByThePjlJob) {
    test::SimProcess sim(kFleet);
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.01);
    MediaProfileList list(PortDescriptor(sim.ptyPath(0), PortType::Usb, 7));
    ASSERT_EQ(list.count(), 4u);
    // Lines of 41 characters and their LF, grouped by ink set.
    std::vector<std::string> got;
    for (std::size_t i = 0; i < 4; ++i)
        got.push_back(list.entry(i));
    EXPECT_EQ(got[0], "Photo                Glossy              \n");
    EXPECT_EQ(got[3], "Fine Art             Rag                 \n");
}

TEST(MediaSim, InstallationArrivesByteForByteAndTheAnswerDecides) {
    test::SimProcess sim(kFleet);
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.01);
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{0};
    TransferControl control{cancel, progress};

    Printer accepting("a", PortDescriptor(sim.address(0), PortType::TcpIp, 7));
    long answer = -1;
    EXPECT_EQ(accepting.addProfile(profilePath(), control, answer), InstallResult::Installed);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(progress.load(), 100);
    ASSERT_TRUE(sim.waitForLine("profile " + sim.address(0)));
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(0)));
    EXPECT_EQ(sim.record(0, 1), fileBytes(profilePath()));

    Printer refusing("r", PortDescriptor(sim.address(1), PortType::TcpIp, 7));
    EXPECT_EQ(refusing.addProfile(profilePath(), control, answer), InstallResult::Refused);
    EXPECT_EQ(answer, 12);
}

TEST(MediaSim, CommandLineTool) {
    test::SimProcess sim(kFleet);
    ASSERT_TRUE(sim.ok()) << sim.error();
    std::vector<std::pair<std::string, std::string>> env = {{"UPKEEP_TIME_SCALE", "0.01"},
                                                            {"LANG", "C"}};
    auto json = test::runCommand({test::ctlPath(), "profiles", sim.address(0), "--json"}, env);
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out,
              "[\"Fine Art             Canvas\", \"Fine Art             Rag\", "
              "\"Photo                Glossy\", \"Photo                Matte 7\"]\n");
    auto usb =
        test::runCommand({test::ctlPath(), "profiles", "usb:" + sim.ptyPath(0), "--json"}, env);
    EXPECT_EQ(usb.out, json.out) << usb.err;

    auto empty = test::runCommand({test::ctlPath(), "profiles", sim.address(1)}, env);
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "No Media Profiles installed.\n");
    auto unreachable = test::runCommand({test::ctlPath(), "profiles", sim.address(2)}, env);
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_NE(unreachable.err.find("could not be contacted"), std::string::npos);

    auto added =
        test::runCommand({test::ctlPath(), "add-profile", sim.address(0), profilePath()}, env);
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, "Installed Media Profile\n");
    auto refused =
        test::runCommand({test::ctlPath(), "add-profile", sim.address(1), profilePath()}, env);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(
        refused.err.find(
            "Could not add the media profile.\n\nCheck that the printer is on and working. (12)"),
        std::string::npos)
        << refused.err;
    auto overPty = test::runCommand(
        {test::ctlPath(), "add-profile", "usb:" + sim.ptyPath(0), profilePath()}, env);
    EXPECT_EQ(overPty.exitCode, 0) << overPty.err;
}

}  // namespace
}  // namespace upkeep
