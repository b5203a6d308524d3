// Media profiles against simulated printers: the SNMP walk, the PJL list
// job over a pty, and installation with the printer's answer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "integration/sim/SimHelpers.h"
#include "media/MediaProfileList.h"
#include "platform/Clock.h"
#include "printer/Printer.h"
#include "printer/SendEngine.h"
#include "support/ChildProcess.h"
#include "support/CommandRunner.h"
#include "support/Paths.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

std::string profilePath() {
    return test::sourceDir() + "/examples/profiles/baryta-satin.pdw";
}

// A profile whose path is one character longer than a port name holds,
// beside the file its first 255 characters name: both exist.
struct LongProfilePath {
    std::string dir = ::testing::TempDir() + "upkeep-long-" + std::to_string(::getpid());
    std::string cut, whole;
    LongProfilePath() {
        std::filesystem::create_directories(dir);
        cut = dir + "/" + std::string(255 - dir.size() - 1, 'a');
        whole = cut + "b";
        std::ofstream(cut) << "the other file";
        std::ofstream(whole) << "the chosen file";
    }
    ~LongProfilePath() { std::filesystem::remove_all(dir); }
};

const std::string kFleet = test::simPrinter(1, "", "",
                                            "media = Photo | Glossy\nmedia = Photo | Matte 7\n"
                                            "media = Fine Art | Canvas\nmedia = Fine Art | Rag\n"
                                            "pty = yes\n") +
                           test::simPrinter(2, "", "", "profile-answer = 12\n") +
                           test::simPrinter(3, "", "", "snmp = silent\n");

TEST(MediaSim, SnmpWalkStopsAtTheFirstUnansweredRowAndUsbIsListedByPjl) {
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

    MediaProfileList usb(PortDescriptor(sim.ptyPath(0), PortType::Usb, 7));
    ASSERT_EQ(usb.count(), 4u);
    // Lines of 41 characters and their LF, grouped by ink set.
    EXPECT_EQ(usb.entry(0), "Photo                Glossy              \n");
    EXPECT_EQ(usb.entry(3), "Fine Art             Rag                 \n");
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
    EXPECT_EQ(progress.load(), kProgressWhole);
    ASSERT_TRUE(sim.waitForLine("profile " + sim.address(0)));
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(0)));
    EXPECT_EQ(sim.record(0, 1), test::readFile(profilePath()));

    // A path that does not fit is refused before anything is sent.
    LongProfilePath tooLong;
    EXPECT_EQ(accepting.addProfile(tooLong.whole, control, answer), InstallResult::Failed);

    Printer refusing("r", PortDescriptor(sim.address(1), PortType::TcpIp, 7));
    EXPECT_EQ(refusing.addProfile(profilePath(), control, answer), InstallResult::Refused);
    EXPECT_EQ(answer, 12);
}

TEST(MediaSim, CommandLineTool) {
    test::SimProcess sim(kFleet);
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string usb = "usb:" + sim.ptyPath(0);
    auto json = test::runCtl({"profiles", sim.address(0), "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    // Fields a script can use, and each line as the list shows it.
    auto listed = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_TRUE(listed.is_array() && listed.size() == 4u) << json.out;
    EXPECT_EQ(listed[0]["inkSet"], "Fine Art");
    EXPECT_EQ(listed[0]["media"], "Canvas");
    EXPECT_EQ(listed[3]["media"], "Matte 7");
    EXPECT_EQ(listed[3]["text"], "Photo                Matte 7");
    auto overUsb = test::runCtl({"profiles", usb, "--json"});
    EXPECT_EQ(overUsb.out, json.out) << overUsb.err;

    auto empty = test::runCtl({"profiles", sim.address(1)});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "No Media Profiles installed.\n");
    auto unreachable = test::runCtl({"profiles", sim.address(2)});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_NE(unreachable.err.find("could not be contacted"), std::string::npos);

    auto added = test::runCtl({"add-profile", sim.address(0), profilePath()});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, "Installed Media Profile\n");
    auto refused = test::runCtl({"add-profile", sim.address(1), profilePath(), "--json"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.out.find(R"("outcome": "failed", "code": "refusedByPrinter")"),
              std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find("Could not add the media profile.\\n\\nCheck that the printer is on "
                               "and working. (12)"),
              std::string::npos)
        << refused.out;
    auto overPty = test::runCtl({"add-profile", usb, profilePath()});
    EXPECT_EQ(overPty.exitCode, 0) << overPty.err;

    LongProfilePath tooLong;
    auto cut = test::runCtl({"add-profile", sim.address(0), tooLong.whole});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.err.find("longer than 255"), std::string::npos) << cut.err;
    // After the listing and the two profiles above, nothing reached it.
    EXPECT_FALSE(
        sim.waitForLine("received " + sim.address(0) + " 4 ", std::chrono::milliseconds(200)));
}

}  // namespace
}  // namespace upkeep
