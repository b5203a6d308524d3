#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/controllers/MainController.h"
#include "app/controllers/Texts.h"
#include "integration/sim/SimHelpers.h"
#include "package/Environment.h"
#include "platform/Clock.h"
#include "printer/Community.h"
#include "resources/Menus.h"
#include "support/PackageFixture.h"
#include "support/SimProcess.h"
#include "unit/app/FakeViews.h"

namespace upkeep::app {
namespace {

using test::FakeMainView;
using test::FakeQueue;

// Addresses nothing answers on, so a printer contacted again ends "not reachable".
std::string deadAddress(int n) {
    return "127.0.0." + std::to_string(200 + n);
}

std::shared_ptr<Printer> analysedPrinter(const std::string& name, PrinterState state,
                                         const std::string& address,
                                         const std::string& model = "Meridot-4000",
                                         const std::string& version = "3.10") {
    auto printer = std::make_shared<Printer>(name, PortDescriptor(address, PortType::TcpIp, 7));
    PrinterFacts facts;
    facts.state = state;
    facts.model = model;
    facts.version = version;
    printer->store(facts);
    return printer;
}

// Fills the list with the printers it was given, as the discovery does.
class FakeEnvironment : public Environment {
  public:
    void findPrinters(PrinterList& list) override {
        for (auto& p : printers)
            list.add(p);
    }
    std::optional<PortDescriptor> catalogueFileDescriptor() override { return std::nullopt; }
    std::optional<std::string> systemSoftwarePath() override { return std::nullopt; }
    bool languageSetting(std::uint8_t&) override { return false; }
    OsKind osKind() override { return OsKind::Unknown; }
    std::vector<std::shared_ptr<Printer>> printers;
};

class MainControllerTest : public ::testing::Test {
  protected:
    void SetUp() override { makeController(); }
    void TearDown() override {
        controller.reset();
        queue->drain();
    }
    void makeController() {
        controller.reset();
        view = std::make_unique<FakeMainView>();
        queue = std::make_shared<FakeQueue>();
        controller = std::make_unique<MainController>(*view, queue);
    }
    void addPrinters(const std::vector<std::shared_ptr<Printer>>& printers) {
        if (!controller->printerList)
            controller->printerList = std::make_shared<PrinterList>();
        for (auto& p : printers)
            controller->printerList->add(p);
    }
    bool settle(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        bool done = queue->drainUntil(
            [&] { return !controller->analysisRunning() && !controller->downloadRunning(); },
            limit);
        queue->drain();
        return done;
    }
    void analyse() {
        controller->startAnalysis();
        ASSERT_TRUE(settle());
    }
    // The printer as the list's last row, selected.
    void showOnly(const std::shared_ptr<Printer>& printer) {
        addPrinters({printer});
        view->rows.push_back({0, printer->name(), "", "", ""});
        view->selected = static_cast<int>(view->rows.size()) - 1;
    }
    void select(const std::string& name) {
        view->selected.reset();
        for (std::size_t i = 0; i < view->rows.size(); ++i) {
            if (view->rows[i].name == name)
                view->selected = static_cast<int>(i);
        }
    }

    platform::ScopedTimeScale scale{0.001};
    upkeep::test::SamplePackage package;
    std::unique_ptr<FakeMainView> view;
    std::shared_ptr<FakeQueue> queue;
    std::unique_ptr<MainController> controller;
};

TEST_F(MainControllerTest, AutomaticActionOutcomes) {
    using S = PrinterState;
    struct Case {
        const char* name;
        std::uint32_t firmwareMode, mediaMode;
        const char* argument;
        std::vector<S> states;  // printers p0, p1, ...
        int message;            // 0: none
        int wizards;
        int webLinkBody;  // 0: none
    };
    const Case cases[] = {
        {"A up-to-date printer", 1, 0, "p1", {S::UpgradeAvailable, S::UpToDate}, 0, 0, 182},
        {"A names no printer", 1, 0, "nobody", {S::UpgradeAvailable, S::UpToDate}, 0, 0, 0},
        {"B one row upgrades it", 1, 0, "", {S::UpgradeAvailable, S::NotReachable}, 0, 1, 0},
        {"C1 one upgradable", 1, 0, "", {S::UpgradeAvailable, S::UpToDate}, 250, 0, 0},
        {"C2 none upgradable", 1, 0, "", {S::UpToDate, S::UpToDate}, 251, 0, 0},
        {"C media mode", 0, 1, "", {S::UpgradeAvailable, S::UpToDate}, 252, 0, 0},
        {"D no row", 1, 0, "", {S::NotReachable, S::Unsupported}, 253, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeController();
        StartOptions options;
        options.firmwareMode = c.firmwareMode;
        options.mediaMode = c.mediaMode;
        options.argument = c.argument;
        controller->setStartOptions(options);
        view->wizardAnswers = {false};
        for (std::size_t i = 0; i < c.states.size(); ++i)
            addPrinters({analysedPrinter("p" + std::to_string(i), c.states[i], deadAddress(1))});
        analyse();

        EXPECT_EQ(controller->autoPending, 0u);
        EXPECT_TRUE(controller->startOptions.argument.empty() || c.firmwareMode == 0);
        if (c.message) {
            EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(c.message)});
        } else {
            EXPECT_TRUE(view->messages.empty());
        }
        EXPECT_EQ(static_cast<int>(view->wizards.size()), c.wizards);
        ASSERT_EQ(view->webLinks.size(), c.webLinkBody ? 1u : 0u);
        if (c.webLinkBody) {
            EXPECT_EQ(view->webLinks[0].body, c.webLinkBody);
        }

        // The action runs once: a later end of an analysis, or a refresh, adds nothing.
        auto shown = [&] {
            return view->messages.size() + view->wizards.size() + view->webLinks.size();
        };
        const std::size_t before = shown();
        controller->userDeclined = 0;
        controller->analysisFinished();
        EXPECT_EQ(shown(), before);
        controller->refresh();
        ASSERT_TRUE(settle());
        EXPECT_EQ(shown(), before);
    }
}

TEST_F(MainControllerTest, RefreshReanalysesTheSelectedPrinterOrAll) {
    controller->autoPending = 0;
    controller->viewAll->store(true);
    auto p0 = analysedPrinter("p0", PrinterState::UpToDate, deadAddress(1), "Meridot-4000", "4.00");
    auto p1 = analysedPrinter("p1", PrinterState::UpToDate, deadAddress(2), "Meridot-4000", "4.00");
    addPrinters({p0, p1});
    analyse();
    ASSERT_EQ(view->rowNames(), (std::vector<std::string>{"p0", "p1"}));

    select("p1");
    controller->refresh();
    EXPECT_EQ(view->searchingOpens, 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->searchingLive, 0) << "the Searching dialog goes when the analysis ends";
    EXPECT_EQ(p0->state(), PrinterState::UpToDate);
    EXPECT_EQ(p1->state(), PrinterState::NotReachable);
    EXPECT_EQ(view->rows[1].state, resources::text(150));

    view->selected.reset();
    controller->refresh();
    ASSERT_TRUE(settle());
    EXPECT_EQ(p0->state(), PrinterState::NotReachable);
    EXPECT_EQ(view->rows[0].icon, 0);
}

TEST_F(MainControllerTest, ViewChangesRebuildRowsWithoutContactingPrinters) {
    controller->autoPending = 0;
    auto p0 = analysedPrinter("p0", PrinterState::UpgradeAvailable, deadAddress(1));
    auto p1 = analysedPrinter("p1", PrinterState::NotReachable, deadAddress(2));
    auto p2 = analysedPrinter("p2", PrinterState::UpToDate, deadAddress(3));
    addPrinters({p0, p1, p2});
    analyse();
    EXPECT_EQ(view->rowNames(), (std::vector<std::string>{"p0", "p2"}));
    EXPECT_EQ(view->rows[0].icon, resources::kImageUpgrade);
    EXPECT_EQ(view->rows[1].icon, resources::kImageUpToDate);

    controller->command(resources::command::kViewAllPrinters);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->rowNames(), (std::vector<std::string>{"p0", "p1", "p2"}));
    controller->command(resources::command::kViewSupportedPrinters);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->rowNames(), (std::vector<std::string>{"p0", "p2"}));
    EXPECT_EQ(view->checks, (std::vector<bool>{true, false}));
    EXPECT_EQ(view->searchingOpens, 0);
    // Contacting them would have made them unreachable.
    EXPECT_EQ(p0->state(), PrinterState::UpgradeAvailable);
    EXPECT_EQ(p2->state(), PrinterState::UpToDate);
}

TEST_F(MainControllerTest, SearchingCancelStopsTheRestAndActsOnce) {
    platform::ScopedTimeScale slower(0.05);  // 50 ms for each printer's name
    FakeEnvironment environment;
    for (int i = 0; i < 6; ++i) {
        environment.printers.push_back(
            analysedPrinter("p" + std::to_string(i), PrinterState::NotReachable, deadAddress(i)));
    }
    platform::ScopedWorkingDirectory keep(upkeep::test::examplePackageDir());
    ScopedEnvironment scoped(&environment);

    controller->initialise();
    queue->drain();  // the first search
    ASSERT_EQ(view->searchingOpens, 1);
    // The name is posted after the counter, so waiting for it sees both.
    ASSERT_TRUE(queue->drainUntil([&] { return view->printerName == "p1"; }));
    EXPECT_EQ(view->counter, "2");
    std::function<void()> cancel = view->cancelSearching;
    cancel();
    EXPECT_EQ(view->searchingLive, 0);
    EXPECT_EQ(controller->cancelFlag.load(), 1);
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(253)});

    ASSERT_TRUE(settle());
    auto& list = *controller->printerList;
    EXPECT_EQ(list.item(5)->state(), PrinterState::Canceled);
    EXPECT_EQ(list.item(0)->state(), PrinterState::NotReachable);

    // A late end of the analysis changes nothing visible.
    controller->analysisFinished();
    EXPECT_EQ(view->messages.size(), 1u);

    controller->viewChange(true);
    ASSERT_TRUE(settle());
    ASSERT_EQ(view->rows.size(), 6u);
    EXPECT_EQ(view->rows[5].state, resources::text(155));
}

TEST_F(MainControllerTest, ReportsOfAReplacedAnalysisAreDropped) {
    addPrinters({analysedPrinter("stale", PrinterState::UpgradeAvailable, deadAddress(1))});
    controller->startAnalysis();
    auto waitDone = [&] {
        for (int i = 0; i < 2000 && controller->analysisRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    waitDone();
    // Its rows and its end are still queued when a new list is analysed.
    controller->printerList = std::make_shared<PrinterList>();
    addPrinters({analysedPrinter("a", PrinterState::UpToDate, deadAddress(2)),
                 analysedPrinter("b", PrinterState::UpToDate, deadAddress(3))});
    controller->startAnalysis();
    waitDone();
    queue->drain();
    EXPECT_EQ(view->rowNames(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(view->wizards.empty()) << "the old end ran the automatic action on the old row";
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(251)});
}

TEST_F(MainControllerTest, HelpContentsShowsTheFileOfTheLanguage) {
    const std::string dir = ::testing::TempDir() + "upkeep-help-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/es.txt") << "ayuda";
    std::ofstream(dir + "/en.txt") << "help";
    platform::ScopedWorkingDirectory keep(dir);
    controller->command(resources::command::kHelpContents);
    EXPECT_EQ(view->information, "help");
    resources::setCurrentTable(resources::Table::SpanishModern);
    controller->command(resources::command::kHelpContents);
    resources::setCurrentTable(resources::Table::EnglishUS);
    EXPECT_EQ(view->information, "ayuda");
    controller->command(resources::command::kHelpAbout);
    EXPECT_EQ(view->abouts, 1);
    std::filesystem::remove_all(dir);
}

TEST_F(MainControllerTest, DownloadFinishedMessagesByOperation) {
    struct Case {
        Operation operation;
        int message;
    };
    const Case cases[] = {{Operation::Upgrade, 264},
                          {Operation::Downgrade, 254},
                          {Operation::AddProfile, 240},
                          {Operation::SendFile, 0},
                          {Operation::Failed, 0}};
    for (const Case& c : cases) {
        for (int w : {0, 1}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(c.operation)) + " w=" + std::to_string(w));
            makeController();
            controller->operation.store(c.operation);
            controller->downloadFinished(w);
            if (c.message && w == 0) {
                EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(c.message)});
            } else {
                EXPECT_TRUE(view->messages.empty());
            }
            EXPECT_EQ(controller->operation.load(), Operation::None);
            EXPECT_FALSE(view->timerRunning);
        }
    }
}

TEST_F(MainControllerTest, CheckPrinterWarningsByState) {
    struct Case {
        PrinterState state;
        int warning;  // 0: none
        bool goesOn;
    };
    const Case cases[] = {
        {PrinterState::NotReachable, 259, false},          {PrinterState::Unsupported, 261, false},
        {PrinterState::UnsupportedConnection, 260, false}, {PrinterState::Canceled, 0, false},
        {PrinterState::UpgradeAvailable, 0, true},         {PrinterState::UpToDate, 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.state));
        makeController();
        auto printer = analysedPrinter("p", c.state, deadAddress(1));
        EXPECT_EQ(controller->checkPrinter(*printer), c.goesOn);
        if (c.warning) {
            ASSERT_EQ(view->messages.size(), 1u);
            EXPECT_EQ(view->messages[0].icon, MessageIcon::Warning);
            EXPECT_EQ(view->messages[0].text, resources::text(c.warning));
        } else {
            EXPECT_TRUE(view->messages.empty());
        }
    }
}

TEST_F(MainControllerTest, CommandsNeedASelectionAndUpToDateOffersTheWebSite) {
    controller->command(resources::command::kSystemUpgrade);
    controller->doubleClick();
    EXPECT_EQ(view->texts(),
              (std::vector<std::string>{resources::text(263), resources::text(263)}));

    controller->autoPending = 0;
    showOnly(analysedPrinter("p0", PrinterState::UpToDate, deadAddress(1), "Meridot-4000",
                             "4.00 build 7"));
    view->webLinkNext = true;
    // Next on the web-link page ends the program, unless no browser opened.
    for (bool opens : {false, true}) {
        view->urlOpens = opens;
        controller->doubleClick();
        EXPECT_EQ(view->closes, opens ? 1 : 0);
    }
    ASSERT_EQ(view->webLinks.size(), 2u);
    EXPECT_EQ(view->webLinks[0].body, 182);
    EXPECT_EQ(view->openedUrls, std::vector<std::string>(2, view->webLinks[0].address));

    // The other commands that need a printer stop at once without one.
    view->messages.clear();
    view->selected.reset();
    for (int id : {resources::command::kSystemDowngrade, resources::command::kMediaAddProfiles,
                   resources::command::kMediaViewProfiles}) {
        controller->command(id);
    }
    EXPECT_EQ(view->texts(), std::vector<std::string>(3, resources::text(263)));
    EXPECT_EQ(view->fileDialogs, 0);
    EXPECT_TRUE(view->versionsOffered.empty());
    EXPECT_EQ(view->profileListRuns, 0);
}

TEST_F(MainControllerTest, DowngradeOutcomes) {
    struct Case {
        const char* name;
        std::optional<std::string> version;  // the version dialog's answer
        bool wizardNext;
        bool busy;
        int message;  // 0: none
        MessageIcon icon;
        bool starts;
    };
    const auto info = MessageIcon::Information;
    const Case cases[] = {
        {"cancel in the version dialog", std::nullopt, true, false, 0, info, false},
        {"cancel on the wizard page", "3.10", false, false, 0, info, false},
        {"the printer's own version", "4.00", true, false, 255, info, false},
        {"no file for the version", "9.99", true, false, 181, MessageIcon::Warning, false},
        {"a download runs", "3.10", true, true, 267, info, false},
        {"starts", "3.10", true, false, 0, info, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeController();
        controller->autoPending = 0;
        showOnly(
            analysedPrinter("p", PrinterState::UpToDate, deadAddress(1), "Meridot-4000", "4.00"));
        view->version = c.version;
        view->wizardAnswers = {c.wizardNext};
        if (c.busy)
            controller->operation.store(Operation::SendFile);
        controller->command(resources::command::kSystemDowngrade);

        EXPECT_EQ(view->versionsOffered, (std::vector<std::string>{"3.10", "3.20", "4.00"}));
        if (c.message) {
            ASSERT_EQ(view->messages.size(), 1u);
            EXPECT_EQ(view->messages[0].icon, c.icon);
            EXPECT_EQ(view->messages[0].text, resources::text(c.message));
        } else {
            EXPECT_TRUE(view->messages.empty());
        }
        // Refused before the wizard when busy; no wizard without a version.
        EXPECT_EQ(view->wizards.size(), c.version && !c.busy ? 1u : 0u);
        EXPECT_EQ(view->sendingOpens, c.starts ? 1 : 0);
        if (c.starts) {
            EXPECT_EQ(controller->operation.load(), Operation::Downgrade);
            EXPECT_EQ(controller->sendText.str(), "3.10");
            EXPECT_EQ(controller->targetPrinter->name(), "p");
        }
        ASSERT_TRUE(settle());
    }
}

TEST_F(MainControllerTest, EmergencySendsTheChosenFileToTheParallelPort) {
    // No parallel printer here: the download fails quickly instead.
    const std::string device = ::testing::TempDir() + "upkeep-no-such-lp";
    ::setenv("UPKEEP_PARALLEL_DEVICE", device.c_str(), 1);
    struct Case {
        bool wizardNext;
        std::optional<std::string> file;
        int fileDialogs;
    };
    const Case cases[] = {{false, "x.fmw", 0}, {true, std::nullopt, 1}, {true, "x.fmw", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileDialogs + (c.file ? 10 : 0));
        makeController();
        controller->autoPending = 0;
        view->wizardAnswers = {c.wizardNext};
        view->file = c.file;
        controller->command(resources::command::kSystemEmergency);  // nothing selected
        ASSERT_EQ(view->wizards.size(), 1u);
        EXPECT_EQ(view->fileDialogs, c.fileDialogs);
        const bool starts = c.wizardNext && c.file;
        EXPECT_EQ(view->sendingOpens, starts ? 1 : 0);
        if (starts) {
            EXPECT_EQ(controller->operation.load(), Operation::SendFile);
            ASSERT_TRUE(controller->targetPrinter);
            EXPECT_EQ(controller->targetPrinter->name(), "Emergency");
            EXPECT_EQ(controller->targetPrinter->portDescriptor().portType(), PortType::Parallel);
            EXPECT_EQ(controller->targetEntry->fileName().str(), "x.fmw");
            EXPECT_FALSE(controller->printerList) << "not put into the list";
        }
        ASSERT_TRUE(settle());
    }
    ::unsetenv("UPKEEP_PARALLEL_DEVICE");
}

TEST_F(MainControllerTest, AddProfileCommandStartsTheInstallation) {
    StartOptions options;
    options.mediaMode = 1;
    controller->setStartOptions(options);
    controller->autoPending = 0;
    showOnly(analysedPrinter("p", PrinterState::UpToDate, deadAddress(1)));
    controller->command(resources::command::kMediaAddProfiles);  // file dialog canceled
    EXPECT_EQ(view->fileDialogs, 1);
    EXPECT_EQ(view->sendingOpens, 0);

    // A double-click in media mode without an argument runs the same command.
    view->file = "/tmp/paper.pdw";
    controller->doubleClick();
    EXPECT_EQ(view->fileDialogs, 2);
    EXPECT_EQ(controller->operation.load(), Operation::AddProfile);
    EXPECT_EQ(controller->sendText.str(), "/tmp/paper.pdw");
    EXPECT_EQ(controller->startOptions.mediaMode, 0u);
    EXPECT_EQ(view->sendingOpens, 1);
    EXPECT_TRUE(view->messages.empty());
    ASSERT_TRUE(settle());
}

TEST_F(MainControllerTest, ViewProfilesShowsTheQueryOutcome) {
    if (upkeep::test::simPath().empty())
        GTEST_SKIP() << "printer-sim not built";
    // The silent printer's query times out; answers must still arrive in time.
    platform::ScopedTimeScale slower(0.1);
    upkeep::test::SimProcess sim(R"([printer]
address = @ADDR1@
model = Meridot-4000
version = 4.00
media = Photo | Glossy
media = Photo | Matte
[printer]
address = @ADDR2@
model = Meridot-4000
version = 4.00
[printer]
address = @ADDR3@
snmp = silent
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string analysing = resources::text(223) + std::string("...");
    const std::vector<std::string> cases[] = {
        {"Photo                Glossy", "Photo                Matte"},
        {analysing, resources::text(265)},
        {analysing, resources::text(259)},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        makeController();
        showOnly(std::make_shared<Printer>(
            "p", PortDescriptor(sim.address(i), PortType::TcpIp, channel::kUnset)));
        controller->command(resources::command::kMediaViewProfiles);
        EXPECT_EQ(view->profileLinesShown, std::vector<std::string>{analysing});
        EXPECT_EQ(view->profileLines, cases[i]);
        EXPECT_EQ(view->profileListRuns, 1);
        EXPECT_TRUE(view->messages.empty());
    }

    // A dialog that cannot be made: a message and no query.
    makeController();
    showOnly(std::make_shared<Printer>(
        "p", PortDescriptor(sim.address(0), PortType::TcpIp, channel::kUnset)));
    view->profileListMade = false;
    controller->command(resources::command::kMediaViewProfiles);
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::fixed::kDialogCreationError});
}

TEST(AddressTest, TcpIpAddressCases) {
    const std::pair<const char*, bool> cases[] = {{"0.1.2.3", false},
                                                  {"10.0.0.256", false},
                                                  {"10.0.0", false},
                                                  {"10.0.0.1x", true},
                                                  {"printer1", true},
                                                  {"1printer", false},
                                                  {"_host", false},
                                                  {"", false},
                                                  {"255.0.0.0", true},
                                                  {"10.-1.0.1", false},
                                                  {"99999999999.0.0.1", false}};
    for (auto [text, passes] : cases)
        EXPECT_EQ(tcpIpAddressPasses(text), passes) << text;
}

TEST_F(MainControllerTest, FileNewTestsTcpIpAddressesOnly) {
    controller->autoPending = 0;
    view->addressAnswers = {AddressAnswer{0, "10.0.0"}, AddressAnswer{0, "_host"},
                            AddressAnswer{1, "not checked"}};
    controller->command(resources::command::kFileNew);
    EXPECT_EQ(view->addressDialogs, 3);
    EXPECT_EQ(view->texts(), std::vector<std::string>(2, resources::text(266)));
    ASSERT_TRUE(controller->printerList);
    ASSERT_EQ(controller->printerList->count(), 1u);
    auto printer = controller->printerList->item(0);
    EXPECT_EQ(printer->name(), "not checked");
    EXPECT_EQ(printer->portDescriptor().portType(), PortType::IpxSpx);
    ASSERT_TRUE(settle());

    view->addressAnswers = {std::nullopt};
    controller->fileNew();
    EXPECT_EQ(controller->printerList->count(), 1u);
}

TEST(SupportPageTest, TemplateFilledWithCutTexts) {
    upkeep::test::SamplePackage package;
    EXPECT_EQ(supportPageAddress(&package.catalogue(), "A.01 B", "M1 X"),
              "https://support.example.com/meridot/firmware?version=A.01&lang=en&site=4&model=M1");
    EXPECT_EQ(supportPageAddress(nullptr, "A.01 B", "M1 X"),
              fillTemplate(resources::text(282), {"A.01", "en", "4", "M1"}));
    // The template is data: only %s is filled, and never beyond the values.
    EXPECT_EQ(fillTemplate("%d %s %n %s%% %s", {"a", "b"}), "%d a %n b% %s");
}

// ---- downloads against the simulator ---------------------------------------

class DownloadTest : public MainControllerTest {
  protected:
    void SetUp() override {
        MainControllerTest::SetUp();
        if (upkeep::test::simPath().empty())
            GTEST_SKIP() << "printer-sim not built";
    }
    // A file large enough to outlast the sockets' buffers.
    std::string bigFile() {
        std::string path =
            ::testing::TempDir() + "upkeep-big-" + std::to_string(::getpid()) + ".fmw";
        std::ofstream out(path, std::ios::binary);
        std::string block(1 << 20, 'x');
        for (int i = 0; i < kBigMegabytes; ++i)
            out << block;
        return path;
    }
    static constexpr int kBigMegabytes = 16;
    // Real time: the sockets' time-outs must not fire on a slow reader.
    platform::ScopedTimeScale realTime{1.0};
};

TEST_F(DownloadTest, UpgradeFromTheListSendsTheFileAndSaysSo) {
    upkeep::test::SimProcess sim(R"([printer]
address = @ADDR1@
model = Meridot-4000
version = 3.10
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    controller->autoPending = 0;
    addPrinters(
        {std::make_shared<Printer>("sim", PortDescriptor(sim.address(0), PortType::TcpIp, 7))});
    analyse();
    ASSERT_EQ(view->rowNames(), std::vector<std::string>{"sim"});
    EXPECT_EQ(view->rows[0].state, resources::text(151));
    select("sim");
    controller->command(resources::command::kSystemUpgrade);
    ASSERT_EQ(view->wizards.size(), 1u);
    EXPECT_EQ(view->sendingOpens, 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->statusLine, resources::text(230) + std::string("  (m4000_400.fmw)... "));
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(264)});
    EXPECT_TRUE(sim.waitForLine("applied " + sim.address(0) + " Meridot-4000 4.00"));
    EXPECT_EQ(view->sendingLive, 0);
    EXPECT_EQ(controller->operation.load(), Operation::None);
}

// At real time against a printer that takes nothing: Cancel ends the
// transfer within a second and frees the operation, quitting ends a
// download within a second, and the printer gets no more of the file.
TEST_F(DownloadTest, SecondDownloadIsRefusedCancelFreesItAndQuittingEndsAtOnce) {
    upkeep::test::SimProcess sim(R"([printer]
address = @ADDR1@
model = Meridot-4000
version = 3.10
data = stall
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file = upkeep::test::firmwareFile(
        ::testing::TempDir() + "upkeep-stall-" + std::to_string(::getpid()) + ".fmw",
        "Meridot-4000", "9.00", 4 << 20);
    showOnly(std::make_shared<Printer>("slow", PortDescriptor(sim.address(0), PortType::TcpIp, 7)));
    view->ctrl = true;
    view->file = file;
    controller->upgradeCommand();
    ASSERT_TRUE(controller->downloadRunning());
    EXPECT_EQ(controller->operation.load(), Operation::SendFile);

    controller->upgradeCommand();  // forced again
    auto upgradable = analysedPrinter("u", PrinterState::UpgradeAvailable, deadAddress(1));
    controller->upgradePrinter(upgradable);
    EXPECT_EQ(view->texts(), std::vector<std::string>(2, resources::text(267)));
    EXPECT_TRUE(view->wizards.empty()) << "refused before the wizard";
    EXPECT_EQ(view->sendingOpens, 1);

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::function<void()> cancel = view->cancelSending;
    cancel();
    EXPECT_EQ(view->sendingLive, 0);
    EXPECT_TRUE(
        queue->drainUntil([&] { return !controller->downloadRunning(); }, std::chrono::seconds(1)));
    auto received = sim.waitForLine("received " + sim.address(0), std::chrono::seconds(5));
    ASSERT_TRUE(received);
    EXPECT_LT(std::stoull(received->substr(received->rfind(' ') + 1)), 4u << 20);
    EXPECT_EQ(view->messages.size(), 2u) << "no success and no failure after Cancel";
    EXPECT_EQ(controller->operation.load(), Operation::None);

    // Free again at once: the next download starts; quitting ends it.
    controller->upgradeCommand();
    EXPECT_EQ(view->sendingOpens, 2);
    ASSERT_TRUE(controller->downloadRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto start = std::chrono::steady_clock::now();
    controller.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    received = sim.waitForLine("received " + sim.address(0), std::chrono::seconds(5));
    ASSERT_TRUE(received);
    EXPECT_LT(std::stoull(received->substr(received->rfind(' ') + 1)), 4u << 20);
    EXPECT_FALSE(sim.waitForLine("applied", std::chrono::milliseconds(200)));
    std::remove(file.c_str());
}

TEST_F(DownloadTest, AnalysisEndingDuringADownloadLeavesItRunning) {
    upkeep::test::SimProcess sim(R"([printer]
address = @ADDR1@
model = Meridot-4000
version = 3.10
data = slow:8000000
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file = bigFile();
    auto printer =
        std::make_shared<Printer>("slow", PortDescriptor(sim.address(0), PortType::TcpIp, 7));
    showOnly(printer);
    controller->autoPending = 0;
    controller->startForcedDownload(printer,
                                    std::make_shared<CatalogueEntry>("Forced", "Forced", file));
    ASSERT_TRUE(controller->downloadRunning());

    controller->refresh();           // an analysis during the download...
    controller->analysisFinished();  // ...that ends (or is canceled) while it runs
    EXPECT_TRUE(controller->downloadRunning());
    EXPECT_EQ(controller->operation.load(), Operation::SendFile);
    EXPECT_TRUE(controller->sendingOpen());
    EXPECT_TRUE(view->timerRunning);

    bool done = queue->drainUntil(
        [&] {
            controller->progressTick();
            return !controller->downloadRunning();
        },
        std::chrono::seconds(60));
    ASSERT_TRUE(done);
    settle();
    EXPECT_TRUE(view->messages.empty()) << view->texts().front();
    auto line = sim.waitForLine("received " + sim.address(0), std::chrono::seconds(10));
    ASSERT_TRUE(line);
    EXPECT_NE(line->find(std::to_string(kBigMegabytes << 20)), std::string::npos) << *line;
    ASSERT_FALSE(view->progress.empty());
    EXPECT_TRUE(std::is_sorted(view->progress.begin(), view->progress.end()));
    EXPECT_EQ(controller->progressPercent.load(), 100);
    std::remove(file.c_str());
}

TEST_F(DownloadTest, QuittingWhileBothWorkersRunStopsThemSafely) {
    platform::ScopedTimeScale scaled(0.01);
    upkeep::test::SimProcess sim(R"([printer]
address = @ADDR1@
model = Meridot-4000
version = 3.10
data = slow:2000000
[printer]
address = @ADDR2@
snmp = silent
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file = bigFile();
    auto sending =
        std::make_shared<Printer>("slow", PortDescriptor(sim.address(0), PortType::TcpIp, 7));
    showOnly(sending);
    addPrinters(
        {std::make_shared<Printer>("silent", PortDescriptor(sim.address(1), PortType::TcpIp, 7))});
    controller->startForcedDownload(sending,
                                    std::make_shared<CatalogueEntry>("Forced", "Forced", file));
    controller->refresh();
    ASSERT_TRUE(controller->downloadRunning());
    ASSERT_TRUE(controller->analysisRunning());

    auto start = std::chrono::steady_clock::now();
    controller.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // What the workers posted before they stopped is dropped.
    queue->drain();
    EXPECT_TRUE(view->messages.empty());
    EXPECT_EQ(view->searchingLive, 0);
    EXPECT_EQ(view->sendingLive, 0);
    std::remove(file.c_str());
}

TEST_F(DownloadTest, CommunityChangeReachesTheNextQuery) {
    upkeep::test::SimProcess sim(R"([printer]
address = @ADDR1@
model = Meridot-4000
version = 4.00
community = tealwing
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string before = community();
    controller->autoPending = 0;
    view->communityAnswer = "tealwing";
    controller->command(resources::command::kCommunityName);
    EXPECT_EQ(view->communityShown, before);
    EXPECT_EQ(community(), "tealwing");

    view->addressAnswers = {AddressAnswer{0, sim.address(0)}};
    controller->fileNew();
    ASSERT_TRUE(settle());
    setCommunity(before);
    ASSERT_EQ(view->rows.size(), 1u);
    EXPECT_EQ(view->rows[0].state, resources::text(152));
}

}  // namespace
}  // namespace upkeep::app
