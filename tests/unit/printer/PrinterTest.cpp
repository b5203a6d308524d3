#include <gtest/gtest.h>

#include <thread>

#include "media/MediaProfileList.h"
#include "package/CatalogueEntry.h"
#include "printer/PrinterList.h"
#include "support/PackageFixture.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

PrinterFacts factsWith(PrinterState own, std::vector<PrinterState> subsystems) {
    PrinterFacts f;
    f.state = own;
    f.model = "M";
    f.version = "A";
    const char* versions[] = {"B", "C", "D"};
    for (std::size_t i = 0; i < subsystems.size(); ++i) {
        f.subsystemStates[i] = subsystems[i];
        f.subsystemVersions[i] = versions[i];
        f.subsystemModels[i] = "S";
    }
    f.subsystemCount = subsystems.size();
    return f;
}

TEST(Printer, EffectiveStateAndDisplay) {
    using S = PrinterState;
    struct Case {
        S own;
        std::vector<S> subsystems;
        S effective;
        int stringId, icon;
    } cases[] = {
        {S::UpToDate, {S::UpToDate, S::UpgradeAvailable}, S::UpgradeAvailable, 151, 1},
        {S::UpToDate, {S::Unsupported}, S::UpToDate, 152, 2},
        {S::Unsupported, {S::UpgradeAvailable}, S::Unsupported, 154, 0},
        {S::NotReachable, {}, S::NotReachable, 150, 0},
        {S::Canceled, {}, S::Canceled, 155, 0},
        {S::UnsupportedConnection, {}, S::UnsupportedConnection, 153, 0},
        {static_cast<S>(42), {}, static_cast<S>(42), 154, 0},
    };
    for (const Case& c : cases) {
        PrinterFacts f = factsWith(c.own, c.subsystems);
        EXPECT_EQ(f.effectiveState(), c.effective);
        EXPECT_EQ(stateDisplay(f.effectiveState()).stringId, c.stringId);
        EXPECT_EQ(stateDisplay(f.effectiveState()).icon, c.icon);
    }
}

TEST(Printer, UpgradeEntriesAreTheUpgradableSubsystemsThenThePrinter) {
    upkeep::test::SamplePackage package;
    using S = PrinterState;
    struct Case {
        S own;
        std::vector<S> subsystems;
        std::vector<std::string> files;
    } cases[] = {
        {S::UpgradeAvailable,
         {S::UpgradeAvailable, S::UpToDate, S::UpgradeAvailable},
         {"finf2_230.fmw", "finf2_230.fmw", "m5200_600.fmw"}},
        {S::UpToDate, {S::UpToDate, S::UpgradeAvailable}, {"finf2_230.fmw"}},
        {S::UpgradeAvailable, {}, {"m5200_600.fmw"}},
        {S::UpToDate, {S::UpToDate}, {}},
    };
    for (const Case& c : cases) {
        PrinterFacts f = factsWith(c.own, c.subsystems);
        f.model = "Meridot-5200";
        f.version = "5.01";
        for (std::size_t i = 0; i < c.subsystems.size(); ++i) {
            f.subsystemModels[i] = "Finisher-F2";
            f.subsystemVersions[i] = "F2.10";
        }
        Printer printer("p", PortDescriptor("127.0.0.1", PortType::TcpIp, 7));
        printer.store(f);
        std::vector<std::string> files;
        for (const CatalogueEntry* entry : printer.upgradeEntries())
            files.push_back(entry ? entry->fileName().str() : "none");
        EXPECT_EQ(files, c.files);
        EXPECT_EQ(files.size(), printer.upgradableCount());
    }
}

TEST(Printer, DisplayTexts) {
    EXPECT_EQ(factsWith(PrinterState::UpToDate, {}).versionText(), "A");
    PrinterFacts f =
        factsWith(PrinterState::UpToDate, {PrinterState::UpToDate, PrinterState::UpToDate});
    EXPECT_EQ(f.versionText(), "A B  C ");
    EXPECT_EQ(f.modelText(), "M S  S ");
    // Eight long values cannot run past the 1024-byte display field.
    for (std::size_t i = 0; i < kMaxSubsystems; ++i)
        f.subsystemVersions[i] = std::string(127, 'v');
    f.subsystemCount = kMaxSubsystems;
    EXPECT_EQ(f.versionText().size(), 1023u);
}

TEST(Printer, SamePort) {
    test::ScopedEnvVar firstParallel("UPKEEP_PARALLEL_DEVICE", "/dev/lp0");
    struct Case {
        PortDescriptor a, b;
        bool same;
    } cases[] = {
        {{"LPT1:", PortType::Parallel, 7}, {"LPT2:", PortType::Parallel, 7}, true},
        // A parallel port by the device it opens: LPT names the first one.
        {{"LPT1:", PortType::Parallel, 7}, {"/dev/lp0", PortType::Parallel, 7}, true},
        {{"LPT1:", PortType::Parallel, 7}, {"/dev/lp1", PortType::Parallel, 7}, false},
        {{"/dev/lp1", PortType::Parallel, 7}, {"/dev//lp1", PortType::Parallel, 7}, true},
        {{"10.0.0.1", PortType::TcpIp, 7}, {"10.0.0.1:9101", PortType::TcpIp, 7}, false},
        // An empty name reaches nothing (a network printer that did not resolve).
        {{"", PortType::TcpIp, 7}, {"", PortType::TcpIp, 7}, false},
        {{"Host", PortType::TcpIp, 7}, {"host", PortType::TcpIp, 7}, false},
        {{"10.0.0.1", PortType::TcpIp, 7}, {"10.0.0.1", PortType::TcpIp, 1}, true},
        {{"10.0.0.1", PortType::TcpIp, 7}, {"10.0.0.1", PortType::IpxSpx, 7}, false},
        {{"/dev/usb/lp0", PortType::Usb, 7}, {"/dev/usb/lp1", PortType::Usb, 7}, false},
        {{"a", PortType::File, 7}, {"b", PortType::File, 7}, true},
    };
    for (const Case& c : cases) {
        Printer p("p", c.a);
        EXPECT_EQ(p.samePortAs(c.b), c.same) << c.a.name().view() << " / " << c.b.name().view();
    }
}

TEST(PrinterList, CapacityItemsAndPorts) {
    PrinterList list;
    for (int i = 0; i < 129; ++i) {
        list.add(std::make_shared<Printer>(
            "p" + std::to_string(i),
            PortDescriptor("10.0.0." + std::to_string(i), PortType::TcpIp, 7)));
    }
    EXPECT_EQ(list.count(), 128u);
    EXPECT_EQ(list.item(128), nullptr);
    EXPECT_EQ(list.item(127)->name(), "p127");
    EXPECT_TRUE(list.containsPort(PortDescriptor("10.0.0.5", PortType::TcpIp, 7)));
    EXPECT_FALSE(list.containsPort(PortDescriptor("10.0.0.200", PortType::TcpIp, 7)));
}

// A listing on the UI thread and an installation on the sending worker
// replace the printer's media list at the same time; neither may free the
// list the other uses (ThreadSanitizer and AddressSanitizer watch this).
TEST(PrinterMediaList, ListingAndInstallingConcurrently) {
    Printer printer("p", PortDescriptor("127.0.0.1", PortType::TcpIp, 7));
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{0};
    TransferControl control{cancel, progress};
    std::thread installer([&] {
        for (int i = 0; i < 200; ++i) {
            long answer = 0;
            EXPECT_EQ(printer.addProfile("/no/such/profile.pdw", control, answer),
                      InstallResult::Failed);
        }
    });
    for (int i = 0; i < 200; ++i) {
        std::shared_ptr<MediaProfileList> list = printer.prepareListing();
        EXPECT_TRUE(list->stored().empty());
    }
    installer.join();
}

}  // namespace
}  // namespace upkeep
