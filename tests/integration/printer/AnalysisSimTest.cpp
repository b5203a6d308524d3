// A fleet of simulated printers analysed against the sample package, over
// SNMP on loopback and PJL over a pty standing in for a USB printer.

#include <gtest/gtest.h>

#include "integration/sim/SimHelpers.h"
#include "platform/Clock.h"
#include "printer/IdentifyReply.h"
#include "printer/PrinterList.h"
#include "support/PackageFixture.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

using S = PrinterState;

TEST(AnalysisSim, NetworkFleetStates) {
    test::SamplePackage package;
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-4000", "4.00") + test::simPrinter(2, "meridot-4000", "3.10") +
        test::simPrinter(3, "Meridot-5200", "6.00", "subsystem = Finisher-F2 | F2.10\n") +
        test::simPrinter(4, "Meridot-9999", "1.0") +
        test::simPrinter(5, "", "", "snmp = silent\n") +
        test::simPrinter(6, "Meridot-6100", "1.05"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.01);
    struct Case {
        S state, effective;
        std::string modelText, versionText;
    } cases[] = {
        {S::UpToDate, S::UpToDate, "Meridot-4000", "4.00"},
        {S::UpgradeAvailable, S::UpgradeAvailable, "meridot-4000", "3.10"},
        {S::UpToDate, S::UpgradeAvailable, "Meridot-5200 Finisher-F2 ", "6.00 F2.10 "},
        {S::Unsupported, S::Unsupported, "Meridot-9999", "1.0"},
        {S::NotReachable, S::NotReachable, "", ""},
        // The newest file of the optional section is installed here.
        {S::UpgradeAvailable, S::UpgradeAvailable, "Meridot-6100", "1.05"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        Printer printer("p" + std::to_string(i),
                        PortDescriptor(sim.address(i), PortType::TcpIp, 7));
        EXPECT_EQ(printer.versionText(), cases[i].versionText) << i;
        EXPECT_EQ(printer.modelText(), cases[i].modelText) << i;
        EXPECT_EQ(printer.state(), cases[i].state) << i;
        EXPECT_EQ(printer.effectiveState(), cases[i].effective) << i;
    }
}

TEST(AnalysisSim, MissingCatalogueMakesNetworkPrintersUnreachable) {
    FirmwareCatalogue empty;  // never loaded
    setAnalysisCatalogue(&empty);
    Printer printer("p", PortDescriptor("127.0.0.1", PortType::TcpIp, 7));
    EXPECT_EQ(printer.versionText(), "");
    EXPECT_EQ(printer.state(), S::NotReachable);
    setAnalysisCatalogue(nullptr);
}

// The second printer never answers PJL: it is unsupported without the
// IDENTIFY job.
TEST(AnalysisSim, UsbPrintersOverPjlWithTheOneSecondRead) {
    test::SamplePackage package;
    test::SimProcess sim(
        test::simPrinter(1, "", "",
                         "identify-reply = "
                         "\"Meridot-5200,Finisher-F2,Finisher-F2;5.10,F2.30,F2.10\\r\\n\"\n"
                         "pty = yes\n") +
        test::simPrinter(2, "", "", "pjl = silent\npty = yes\n") +
        test::simPrinter(3, "", "", "data = stall\npty = yes\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    ASSERT_FALSE(sim.ptyPath(0).empty());
    platform::ScopedTimeScale scale(0.05);  // each USB read: 50 ms
    Printer printer("usb", PortDescriptor(sim.ptyPath(0), PortType::Usb, 7));
    auto start = std::chrono::steady_clock::now();
    std::string version = printer.versionText();
    auto took = std::chrono::steady_clock::now() - start;
    // ECHO and IDENTIFY: at least two scaled one-second reads.
    EXPECT_GE(took, std::chrono::milliseconds(95));
    PrinterFacts f = printer.facts();
    EXPECT_EQ(f.model.view(), "Meridot-5200");
    EXPECT_EQ(f.state, S::UpgradeAvailable);
    ASSERT_EQ(f.subsystemCount, 2u);
    // The reply lists subsystems the other way round.
    EXPECT_EQ(f.subsystemVersions[0].view(), "F2.10");
    EXPECT_EQ(f.subsystemStates[0], S::UpgradeAvailable);
    EXPECT_EQ(f.subsystemVersions[1].view(), "F2.30");
    EXPECT_EQ(f.subsystemStates[1], S::UpToDate);
    EXPECT_EQ(version, "5.10 F2.10  F2.30 ");

    Printer silent("silent", PortDescriptor(sim.ptyPath(1), PortType::Usb, 7));
    silent.analyse();
    EXPECT_EQ(silent.state(), S::Unsupported);
    // Without an answer to ECHO, IDENTIFY is never sent.
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(1) + " 1 "));
    EXPECT_EQ(sim.record(1, 1), pjl::kEchoJob);

    // A device that takes no data ends the analysis at the write limit.
    Printer full("full", PortDescriptor(sim.ptyPath(2), PortType::Usb, 7));
    start = std::chrono::steady_clock::now();
    full.analyse();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(full.state(), S::UpToDate);
    EXPECT_NE(full.state(), S::UpgradeAvailable);
}

}  // namespace
}  // namespace upkeep
