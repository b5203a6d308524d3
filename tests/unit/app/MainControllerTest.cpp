#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "app/controllers/MainController.h"
#include "app/controllers/Texts.h"
#include "integration/sim/SimHelpers.h"
#include "package/Environment.h"
#include "package/FirmwareCatalogue.h"
#include "platform/Clock.h"
#include "platform/WorkingDirectory.h"
#include "printer/AnalysisWorker.h"
#include "printer/Community.h"
#include "printer/Identification.h"
#include "printer/SendEngine.h"
#include "resources/Menus.h"
#include "support/ChildProcess.h"
#include "support/PackageFixture.h"
#include "support/Paths.h"
#include "support/SimProcess.h"
#include "unit/app/FakeViews.h"

namespace upkeep::app {
namespace {

using test::FakeEnvironment;
using test::FakeMainView;
using test::FakeQueue;
using test::listed;

// Addresses nothing answers on, so a printer contacted again ends "not reachable".
std::string deadAddress(int n) {
    return "127.0.0." + std::to_string(200 + n);
}

std::shared_ptr<Printer> analysedPrinter(const std::string& name, PrinterState state,
                                         const std::string& address,
                                         const std::string& model = "Meridot-4000",
                                         const std::string& version = "3.10") {
    auto printer = listed(name, address);
    PrinterFacts facts;
    facts.state = state;
    facts.model = model;
    facts.version = version;
    printer->store(facts);
    return printer;
}

class MainControllerTest : public ::testing::Test {
  protected:
    void SetUp() override { makeController(); }
    void TearDown() override {
        controller.reset();
        queue->drain();
        // An abandoned walk may still read the package and settings below.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (AnalysisWorker::walksAlive() > 0 && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        upkeep::test::removeTree(dir_);
    }
    // A path in the test's own directory, which goes with the test.
    std::string tempPath(const std::string& what, const std::string& ending = "") const {
        return dir_ + "/" + what + ending;
    }
    void makeController() {
        controller.reset();
        view = std::make_unique<FakeMainView>();
        queue = std::make_shared<FakeQueue>();
        controller = std::make_unique<MainController>(*view, queue);
    }
    bool settle(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        bool done = queue->drainUntil(
            [&] { return !controller->analysisRunning() && !controller->downloadRunning(); },
            limit);
        queue->drain();
        return done;
    }
    // The window's first search finds these printers and analyses them;
    // its automatic action is shown, then forgotten.
    void start(const std::vector<std::shared_ptr<Printer>>& printers, bool all = false,
               const StartOptions& options = {}) {
        environment.printers = printers;
        controller->setStartOptions(options);
        controller->initialise();
        ASSERT_TRUE(settle());
        if (all) {
            controller->command(resources::command::kViewAllPrinters);
            ASSERT_TRUE(settle());
        }
        forget();
    }
    void forget() {
        view->messages.clear();
        view->wizards.clear();
        view->webLinks.clear();
    }
    void select(const std::string& name) {
        view->selected.reset();
        for (std::size_t i = 0; i < view->rows.size(); ++i) {
            if (view->rows[i].name == name)
                view->selected = static_cast<int>(i);
        }
        ASSERT_TRUE(view->selected) << name << " is not shown";
    }

    std::string dir_ = upkeep::test::makeTempDir("controller");
    platform::ScopedTimeScale scale{0.001};
    upkeep::test::SamplePackage package;
    FakeEnvironment environment;
    ScopedEnvironment scopedEnvironment{&environment};
    std::unique_ptr<FakeMainView> view;
    std::shared_ptr<FakeQueue> queue;
    std::unique_ptr<MainController> controller;
};

// The decision itself is AutomaticActionTest's: here, that it is carried
// out, once, after the first analysis.
TEST_F(MainControllerTest, AutomaticActionRunsOnceAfterTheFirstSearch) {
    using S = PrinterState;
    struct Case {
        const char* name;
        const char* argument;   // in firmware mode
        std::vector<S> states;  // printers p0, p1, ...
        int message;            // 0: none
        int wizards;
        int webLinkBody;  // 0: none
        int leftOut = 0;  // printers the full list could not take, said first
    };
    const std::size_t full = PrinterList::kCapacity;
    const Case cases[] = {
        {"a named up-to-date printer", "p1", {S::UpgradeAvailable, S::UpToDate}, 0, 0, 182},
        {"a name of no printer", "nobody", {S::UpgradeAvailable, S::UpToDate}, 0, 0, 0},
        {"one row is upgraded", "", {S::UpgradeAvailable, S::NotReachable}, 0, 1, 0},
        {"several rows", "", {S::UpgradeAvailable, S::UpToDate}, 250, 0, 0},
        {"more printers than the list holds", "", std::vector<S>(full + 3, S::NotReachable), 253, 0,
         0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeController();
        StartOptions options;
        options.firmwareMode = 1;
        options.argument = c.argument;
        controller->setStartOptions(options);
        view->wizardAnswers = {false};
        environment.printers.clear();
        for (std::size_t i = 0; i < c.states.size(); ++i) {
            environment.printers.push_back(
                analysedPrinter("p" + std::to_string(i), c.states[i], deadAddress(1)));
        }
        controller->initialise();
        ASSERT_TRUE(settle());

        EXPECT_FALSE(controller->automaticActionPending());
        if (c.leftOut) {
            ASSERT_FALSE(view->messages.empty());
            EXPECT_EQ(view->messages.front().text, countText(309, c.leftOut));
            view->messages.erase(view->messages.begin());
        }
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

        // Once: a later analysis, or a refresh, adds nothing.
        auto shown = [&] {
            return view->messages.size() + view->wizards.size() + view->webLinks.size();
        };
        const std::size_t before = shown();
        controller->command(resources::command::kViewRefresh);
        ASSERT_TRUE(settle());
        EXPECT_EQ(shown(), before);

        // A printer added by hand to a full list is refused aloud.
        if (c.leftOut) {
            view->addressAnswers = {AddressAnswer{1, "one more"}};
            controller->command(resources::command::kFileNew);
            ASSERT_TRUE(settle());
            ASSERT_EQ(shown(), before + 1);
            EXPECT_EQ(view->messages.back().text, fillTemplate(resources::text(311), {"one more"}));
        }
    }
}

// A view change rebuilds the rows without contacting the printers (that
// would make them unreachable); a refresh asks the selected one, or all.
TEST_F(MainControllerTest, ViewChangesKeepStatesAndRefreshAsksAgain) {
    auto p0 = analysedPrinter("p0", PrinterState::UpgradeAvailable, deadAddress(1));
    auto p1 = analysedPrinter("p1", PrinterState::NotReachable, deadAddress(2));
    auto p2 = analysedPrinter("p2", PrinterState::UpToDate, deadAddress(3));
    start({p0, p1, p2});
    EXPECT_EQ(view->rowNames(), (std::vector<std::string>{"p0", "p2"}));
    EXPECT_EQ(view->rows[0].icon, resources::kImageUpgrade);
    EXPECT_EQ(view->rows[1].icon, resources::kImageUpToDate);
    const int searches = view->searchingOpens;

    controller->command(resources::command::kViewAllPrinters);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->rowNames(), (std::vector<std::string>{"p0", "p1", "p2"}));
    controller->command(resources::command::kViewSupportedPrinters);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->rowNames(), (std::vector<std::string>{"p0", "p2"}));
    EXPECT_EQ(view->checks, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(view->searchingOpens, searches);
    EXPECT_EQ(p0->state(), PrinterState::UpgradeAvailable);
    EXPECT_EQ(p2->state(), PrinterState::UpToDate);

    controller->command(resources::command::kViewAllPrinters);
    ASSERT_TRUE(settle());
    select("p0");
    controller->command(resources::command::kViewRefresh);
    EXPECT_EQ(view->searchingOpens, searches + 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->searchingLive, 0) << "the Searching dialog goes when the analysis ends";
    EXPECT_EQ(p2->state(), PrinterState::UpToDate);
    EXPECT_EQ(p0->state(), PrinterState::NotReachable);
    EXPECT_EQ(view->rows[0].state, resources::text(150));

    view->selected.reset();
    controller->command(resources::command::kViewRefresh);
    ASSERT_TRUE(settle());
    EXPECT_EQ(p2->state(), PrinterState::NotReachable);
    EXPECT_EQ(view->rows[2].icon, 0);
}

TEST_F(MainControllerTest, SearchingCancelStopsTheRestAndActsOnce) {
    platform::ScopedTimeScale slower(0.05);  // 50 ms for each printer's name
    for (int i = 0; i < 6; ++i) {
        environment.printers.push_back(
            analysedPrinter("p" + std::to_string(i), PrinterState::NotReachable, deadAddress(i)));
    }
    controller->initialise();
    queue->runNext();  // the first search
    ASSERT_EQ(view->searchingOpens, 1);
    EXPECT_EQ(view->busyRuns, 1) << "the discovery runs off the window's thread";
    // The name is posted after the counter, so waiting for it sees both.
    ASSERT_TRUE(queue->drainUntil([&] { return view->printerName == "p1"; }));
    EXPECT_EQ(view->counter, "2");
    std::function<void()> cancel = view->cancelSearching;
    cancel();
    EXPECT_EQ(view->searchingLive, 0);
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(253)});

    ASSERT_TRUE(settle());
    EXPECT_EQ(environment.printers[5]->state(), PrinterState::Canceled);
    EXPECT_EQ(environment.printers[0]->state(), PrinterState::NotReachable);
    cancel();  // a late second end changes nothing visible
    EXPECT_EQ(view->messages.size(), 1u);

    controller->command(resources::command::kViewAllPrinters);
    ASSERT_TRUE(settle());
    ASSERT_EQ(view->rows.size(), 6u);
    EXPECT_EQ(view->rows[5].state, resources::text(155));
}

// While the discovery runs, the window answers but acts on nothing: a
// command is refused with a word why, a close is taken as soon as the
// discovery has ended, and a Cancel once it has ended.
TEST_F(MainControllerTest, DuringAnExchangeCommandsSayBusyAndACloseWaitsForItsEnd) {
    struct Case {
        const char* name;
        std::function<void()> act;
        bool closes;
    };
    const Case cases[] = {
        {"a command", [&] { controller->command(resources::command::kHelpAbout); }, false},
        {"a double-click", [&] { controller->doubleClick(); }, false},
        {"Exit", [&] { controller->command(resources::command::kFileExit); }, true},
        {"the close box", [&] { EXPECT_FALSE(controller->closeRequest()); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeController();
        environment.printers = {analysedPrinter("p0", PrinterState::UpToDate, deadAddress(1)),
                                analysedPrinter("p1", PrinterState::UpToDate, deadAddress(2))};
        std::vector<std::string> shownDuring;
        int closesDuring = -1;
        environment.duringSearch = [&] {
            c.act();
            view->cancelSearching();
            shownDuring = view->texts();
            closesDuring = view->closes;
        };
        controller->initialise();
        ASSERT_TRUE(settle());
        environment.duringSearch = nullptr;
        EXPECT_EQ(closesDuring, 0);
        EXPECT_EQ(shownDuring, std::vector<std::string>(c.closes ? 0 : 1, resources::text(310)));
        EXPECT_EQ(view->abouts, 0);
        EXPECT_EQ(view->closes, c.closes ? 1 : 0);
        EXPECT_EQ(view->searchingLive, 0);
        // The Searching dialog's Cancel ends the first search; a closing
        // window shows nothing more.
        std::vector<std::string> after(shownDuring);
        if (!c.closes)
            after.push_back(resources::text(253));
        EXPECT_EQ(view->texts(), after);
    }
}

TEST_F(MainControllerTest, ReportsOfAReplacedAnalysisAreDropped) {
    StartOptions options;
    options.firmwareMode = 1;
    controller->setStartOptions(options);
    environment.printers = {analysedPrinter("up", PrinterState::UpgradeAvailable, deadAddress(1)),
                            analysedPrinter("gone", PrinterState::NotReachable, deadAddress(2))};
    auto waitDone = [&] {
        for (int i = 0; i < 2000 && controller->analysisRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    controller->initialise();
    queue->runNext();  // the first search: one row, so its end would upgrade "up"
    waitDone();
    // Its rows and its end are still queued when the view changes.
    controller->command(resources::command::kViewAllPrinters);
    waitDone();
    queue->drain();
    EXPECT_EQ(view->rowNames(), (std::vector<std::string>{"up", "gone"}));
    // The user acted: any command drops what the program would have done
    // by itself, so neither end runs the automatic action.
    EXPECT_TRUE(view->wizards.empty()) << "the old end ran the automatic action on the old row";
    EXPECT_TRUE(view->messages.empty());
}

TEST_F(MainControllerTest, HelpContentsShowsTheFileOfTheLanguage) {
    const std::string dir = tempPath("help");
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
}

// Every way a command on one printer stops before its download, and that it
// starts when nothing stops it; the download itself is DownloadTest's.
TEST_F(MainControllerTest, CommandsStopOrStartByStateAndAnswers) {
    using S = PrinterState;
    namespace cmd = resources::command;
    const auto W = MessageIcon::Warning, I = MessageIcon::Information;
    const std::optional<S> none;
    const std::string longPath = "/tmp/" + std::string(251, 'a') + ".pdw";
    const std::vector<std::string> versions{"3.10", "3.20", "4.00"};  // the package's
    // Each flow's wizard page, by its title: the title and its three texts.
    const std::map<int, std::vector<std::array<int, 4>>> pages = {{0, {}},
                                                                  {190, {{190, 191, 192, 193}}},
                                                                  {200, {{200, 202, 203, 0}}},
                                                                  {210, {{210, 214, 211, 212}}}};
    struct Case {
        const char* name;
        int command;                        // 0: a double-click
        std::optional<S> state;             // none: nothing selected
        bool next;                          // on the wizard and web-link pages
        std::optional<std::string> answer;  // the version or file dialog's
        int message;                        // 0: none
        MessageIcon icon;
        int wizard;       // the page's title id; 0: none
        int webLinkBody;  // 0: none
        int fileDialogs;
        bool starts;
        bool browserOpens = true;
    };
    const Case cases[] = {
        {"upgrade, not reachable", cmd::kSystemUpgrade, S::NotReachable, 1, {}, 259, W, 0, 0, 0, 0},
        {"upgrade, unsupported", cmd::kSystemUpgrade, S::Unsupported, 1, {}, 261, W, 0, 0, 0, 0},
        {"upgrade, unsupported connection",
         cmd::kSystemUpgrade,
         S::UnsupportedConnection,
         1,
         {},
         260,
         W,
         0,
         0,
         0,
         0},
        {"upgrade, analysis canceled", cmd::kSystemUpgrade, S::Canceled, 1, {}, 0, I, 0, 0, 0, 0},
        {"upgrade declined", cmd::kSystemUpgrade, S::UpgradeAvailable, 0, {}, 0, I, 190, 0, 0, 0},
        // Next on the web-link page ends the program, unless no browser opened.
        {"up to date, Next", cmd::kSystemUpgrade, S::UpToDate, 1, {}, 0, I, 0, 182, 0, 0},
        {"up to date, declined", cmd::kSystemUpgrade, S::UpToDate, 0, {}, 0, I, 0, 182, 0, 0},
        {"up to date, double-click, no browser", 0, S::UpToDate, 1, {}, 0, I, 0, 182, 0, 0, 0},
        {"upgrade, nothing selected", cmd::kSystemUpgrade, none, 1, {}, 263, I, 0, 0, 0, 0},
        {"double-click, nothing selected", 0, none, 1, {}, 263, I, 0, 0, 0, 0},
        {"downgrade, nothing selected", cmd::kSystemDowngrade, none, 1, {}, 263, I, 0, 0, 0, 0},
        {"add, nothing selected", cmd::kMediaAddProfiles, none, 1, {}, 263, I, 0, 0, 0, 0},
        {"view, nothing selected", cmd::kMediaViewProfiles, none, 1, {}, 263, I, 0, 0, 0, 0},
        {"downgrade, no version", cmd::kSystemDowngrade, S::UpToDate, 1, {}, 0, I, 0, 0, 0, 0},
        {"downgrade declined", cmd::kSystemDowngrade, S::UpToDate, 0, "3.10", 0, I, 200, 0, 0, 0},
        {"the printer's own version", cmd::kSystemDowngrade, S::UpToDate, 1, "4.00", 255, I, 200, 0,
         0, 0},
        {"no file for the version", cmd::kSystemDowngrade, S::UpToDate, 1, "9.99", 181, W, 200, 0,
         0, 0},
        {"downgrade starts", cmd::kSystemDowngrade, S::UpToDate, 1, "3.10", 0, I, 200, 0, 0, 1},
        {"emergency declined", cmd::kSystemEmergency, none, 0, "x.fmw", 0, I, 210, 0, 0, 0},
        {"emergency, no file", cmd::kSystemEmergency, none, 1, {}, 0, I, 210, 0, 1, 0},
        // A path too long for an entry is refused, not cut into another name.
        {"emergency, path too long", cmd::kSystemEmergency, none, 1, std::string(5000, 'x'), 181, W,
         210, 0, 1, 0},
        {"add, no file", cmd::kMediaAddProfiles, S::UpToDate, 1, {}, 0, I, 0, 0, 1, 0},
        {"add, path too long", cmd::kMediaAddProfiles, S::UpToDate, 1, longPath, 258, W, 0, 0, 1,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeController();
        start({analysedPrinter("p", c.state.value_or(S::UpToDate), deadAddress(1), "Meridot-4000",
                               "4.00")},
              true);
        if (c.state)
            select("p");
        view->wizardAnswers = {c.next};
        view->webLinkNext = c.next;
        view->urlOpens = c.browserOpens;
        view->version = view->file = c.answer;
        if (c.command)
            controller->command(c.command);
        else
            controller->doubleClick();

        if (c.message) {
            ASSERT_EQ(view->messages.size(), 1u);
            EXPECT_EQ(view->messages[0].icon, c.icon);
            EXPECT_EQ(view->messages[0].text, resources::text(c.message));
        } else {
            EXPECT_TRUE(view->messages.empty());
        }
        EXPECT_EQ(view->wizards, pages.at(c.wizard));
        ASSERT_EQ(view->webLinks.size(), c.webLinkBody ? 1u : 0u);
        const bool opened = c.webLinkBody && c.next;
        if (c.webLinkBody) {
            EXPECT_EQ(view->webLinks[0].body, c.webLinkBody);
            EXPECT_EQ(view->openedUrls,
                      std::vector<std::string>(opened, view->webLinks[0].address));
        }
        EXPECT_EQ(view->closes, opened && c.browserOpens ? 1 : 0);
        EXPECT_EQ(view->fileDialogs, c.fileDialogs);
        const bool offered = c.command == cmd::kSystemDowngrade && c.state;
        EXPECT_EQ(view->versionsOffered, offered ? versions : std::vector<std::string>());
        EXPECT_EQ(view->profileListRuns, 0);
        EXPECT_EQ(view->busyRuns, 1) << "only the first search: the printer was analysed";
        EXPECT_EQ(view->sendingOpens, c.starts ? 1 : 0);
        EXPECT_EQ(controller->downloadRunning(), c.starts);
        ASSERT_TRUE(settle());
        if (c.starts) {
            // Nothing answers there: the failure is said, and no success.
            EXPECT_EQ(view->texts(), std::vector<std::string>{messageText(256, 0)});
        }
    }
}

// A double-click in media mode without an argument adds a profile; the
// start-up's mode is used up by it, and a double-click then upgrades.
TEST_F(MainControllerTest, MediaModeDoubleClickAddsAProfileOnce) {
    StartOptions options;
    options.mediaMode = 1;
    start({analysedPrinter("p", PrinterState::UpToDate, deadAddress(1))}, false, options);
    select("p");
    view->file = "/tmp/paper.pdw";
    controller->doubleClick();
    EXPECT_EQ(view->fileDialogs, 1);
    EXPECT_EQ(view->sendingOpens, 1);
    EXPECT_TRUE(view->messages.empty());
    ASSERT_TRUE(settle());
    forget();
    controller->doubleClick();
    EXPECT_EQ(view->fileDialogs, 1);
    EXPECT_EQ(view->webLinks.size(), 1u);

    // A profile named at start-up, two printers to choose from: a double-click
    // needs one chosen.
    makeController();
    options.argument = "/tmp/paper.pdw";
    start({analysedPrinter("p", PrinterState::UpToDate, deadAddress(1)),
           analysedPrinter("q", PrinterState::UpToDate, deadAddress(2))},
          false, options);
    controller->doubleClick();
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(263)});
}

TEST_F(MainControllerTest, ViewProfilesShowsTheQueryOutcome) {
    if (upkeep::test::simPath().empty())
        GTEST_SKIP() << "printer-sim not built";
    // The silent printer's query times out; answers must still arrive in time.
    platform::ScopedTimeScale slower(0.1);
    upkeep::test::SimProcess sim(
        upkeep::test::simPrinter(1, "Meridot-4000", "4.00",
                                 "media = Photo | Glossy\nmedia = Photo | Matte\n") +
        upkeep::test::simPrinter(2, "Meridot-4000", "4.00") +
        upkeep::test::simPrinter(3, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string analysing = resources::text(223) + std::string("...");
    const std::vector<std::string> cases[] = {
        {"Photo                Glossy", "Photo                Matte"},
        {analysing, resources::text(265)},
        {analysing, resources::text(259)},
    };
    start(
        {listed("p0", sim.address(0)), listed("p1", sim.address(1)), listed("p2", sim.address(2))},
        true);
    const int busyRuns = view->busyRuns;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        select("p" + std::to_string(i));
        view->profileLines.clear();
        controller->command(resources::command::kMediaViewProfiles);
        EXPECT_EQ(view->profileLinesShown, std::vector<std::string>{analysing});
        EXPECT_EQ(view->profileLines, cases[i]);
        EXPECT_EQ(view->profileListRuns, static_cast<int>(i) + 1);
        EXPECT_EQ(view->busyRuns, busyRuns + static_cast<int>(i) + 1)
            << "the printer is asked off the window's thread";
        EXPECT_TRUE(view->messages.empty());
    }

    // A dialog that cannot be made: a message and no query.
    view->profileListMade = false;
    controller->command(resources::command::kMediaViewProfiles);
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::fixed::kDialogCreationError});
    EXPECT_EQ(view->busyRuns, busyRuns + 3);
}

TEST(AddressTest, TcpIpAddressCases) {
    for (const char* text : {"10.0.0.1x", "printer1", "255.0.0.0"})
        EXPECT_TRUE(tcpIpAddressPasses(text)) << text;
    for (const char* text : {"0.1.2.3", "10.0.0.256", "10.0.0", "1printer", "_host", "",
                             "10.-1.0.1", "99999999999.0.0.1"})
        EXPECT_FALSE(tcpIpAddressPasses(text)) << text;
}

TEST_F(MainControllerTest, FileNewTestsTcpIpAddressesOnly) {
    start({}, true);
    view->addressAnswers = {AddressAnswer{0, "10.0.0"}, AddressAnswer{0, "_host"},
                            AddressAnswer{1, "not checked"}};
    controller->command(resources::command::kFileNew);
    EXPECT_EQ(view->addressDialogs, 3);
    EXPECT_EQ(view->texts(), std::vector<std::string>(2, resources::text(266)));
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->rowNames(), std::vector<std::string>{"not checked"});
    // IPX has no transport here: the address was taken as IPX, not as a host.
    EXPECT_EQ(view->rows[0].state, resources::text(150));

    view->addressAnswers = {std::nullopt};
    controller->command(resources::command::kFileNew);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->rows.size(), 1u);
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
        std::string path = tempPath("big", ".fmw");
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

// Upgrade, downgrade and a media profile from the list, each taken whole
// by the printer and told as done; then the emergency download, which goes
// to the parallel port without a printer in the list.
TEST_F(DownloadTest, FlowsReachThePrinterAndSaySo) {
    upkeep::test::SimProcess sim(
        upkeep::test::simPrinter(1, "Meridot-4000", "3.10", "pty = yes\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string address = sim.address(0);
    start({listed("sim", address)});
    ASSERT_EQ(view->rowNames(), std::vector<std::string>{"sim"});
    EXPECT_EQ(view->rows[0].state, resources::text(151));
    select("sim");

    controller->command(resources::command::kSystemUpgrade);
    ASSERT_EQ(view->wizards.size(), 1u);
    EXPECT_EQ(view->sendingOpens, 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->statusLine, resources::text(230) + std::string("  (m4000_400.fmw)... "));
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(264)});
    EXPECT_TRUE(sim.waitForLine("applied " + address + " Meridot-4000 4.00"));
    EXPECT_EQ(view->sendingLive, 0);
    ASSERT_FALSE(view->progress.empty());
    EXPECT_EQ(view->progress.back(), kProgressWhole) << "the last progress shown is the whole file";

    // Asked again, it has 4.00 now: back to 3.10.
    controller->command(resources::command::kViewRefresh);
    ASSERT_TRUE(settle());
    select("sim");
    forget();
    view->version = "3.10";
    controller->command(resources::command::kSystemDowngrade);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(254)});
    // One file, whose name a downgrade or a forced download never sets.
    EXPECT_EQ(view->statusLine, resources::text(230) + std::string("  ()... "));
    EXPECT_TRUE(sim.waitForLine("applied " + address + " Meridot-4000 3.10"));

    forget();
    view->file = upkeep::test::profileFile(tempPath("profile", ".pdw"), 1000);
    controller->command(resources::command::kMediaAddProfiles);
    ASSERT_TRUE(settle());
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(240)});
    EXPECT_TRUE(sim.waitForLine("profile " + address));

    forget();
    upkeep::test::setEnv("UPKEEP_PARALLEL_DEVICE", sim.ptyPath(0).c_str());
    view->file =
        upkeep::test::firmwareFile(tempPath("rescue", ".fmw"), "Meridot-4000", "5.00", 2000);
    view->selected.reset();
    controller->command(resources::command::kSystemEmergency);
    EXPECT_EQ(view->sendingOpens, 4);
    ASSERT_TRUE(settle());
    upkeep::test::unsetEnv("UPKEEP_PARALLEL_DEVICE");
    EXPECT_TRUE(view->messages.empty()) << view->texts().front();
    EXPECT_TRUE(sim.waitForLine("applied " + address + " Meridot-4000 5.00"));
    EXPECT_EQ(view->statusLine, resources::text(230) + std::string("  ()... "));
    EXPECT_EQ(view->rows.size(), 1u) << "not put into the list";
}

// At real time against a printer that takes nothing: Cancel ends the
// transfer within a second and frees the operation, quitting ends a
// download within a second, and the printer gets no more of the file.
TEST_F(DownloadTest, SecondDownloadIsRefusedCancelFreesItAndQuittingEndsAtOnce) {
    upkeep::test::SimProcess sim(
        upkeep::test::simPrinter(1, "Meridot-4000", "3.10", "data = stall\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file =
        upkeep::test::firmwareFile(tempPath("stall", ".fmw"), "Meridot-4000", "9.00", 4 << 20);
    start({listed("slow", sim.address(0))});
    select("slow");
    view->ctrl = true;
    view->file = file;
    controller->command(resources::command::kSystemUpgrade);
    ASSERT_TRUE(controller->downloadRunning());

    // Forced again, upgraded, downgraded: each refused before its wizard.
    controller->command(resources::command::kSystemUpgrade);
    view->ctrl = false;
    controller->command(resources::command::kSystemUpgrade);
    view->version = "3.20";
    controller->command(resources::command::kSystemDowngrade);
    EXPECT_EQ(view->texts(), std::vector<std::string>(3, resources::text(267)));
    EXPECT_TRUE(view->wizards.empty());
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
    EXPECT_EQ(view->messages.size(), 3u) << "no success and no failure after Cancel";

    // Free again at once: the next download starts; quitting ends it.
    view->ctrl = true;
    controller->command(resources::command::kSystemUpgrade);
    EXPECT_EQ(view->sendingOpens, 2);
    ASSERT_TRUE(controller->downloadRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto begin = std::chrono::steady_clock::now();
    controller.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
    received = sim.waitForLine("received " + sim.address(0), std::chrono::seconds(5));
    ASSERT_TRUE(received);
    EXPECT_LT(std::stoull(received->substr(received->rfind(' ') + 1)), 4u << 20);
    EXPECT_FALSE(sim.waitForLine("applied", std::chrono::milliseconds(200)));
}

// A package file that fails its check is refused before the printer is
// spoken to, and the window says which file and why; the version dialog
// shows the package's state.
TEST_F(DownloadTest, RefusedPackageFileIsExplainedAndNothingSent) {
    using P = TrustProblem;
    const std::string file = "m4000_400.fmw";
    struct Case {
        const char* name;
        std::function<void(const std::string& dir)> change;
        bool signedOnly;
        int aboutId;  // the version dialog's line
        P problem;
        std::string subject;
    };
    auto changeLastByte = [&](const std::string& dir) {
        std::fstream f(dir + "/" + file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(-1, std::ios::end);
        f.put('!');
    };
    auto extendList = [](const std::string& dir) {
        std::ofstream(dir + "/SHA256SUMS", std::ios::app) << std::string(64, '0') + "  x\n";
    };
    auto unsign = [](const std::string& dir) {
        std::filesystem::remove(dir + "/SHA256SUMS");
        std::filesystem::remove(dir + "/SHA256SUMS.gpg");
    };
    const Case cases[] = {
        {"one byte changed after signing", changeLastByte, false, 300, P::ChecksumDiffers, file},
        {"the list changed after signing", extendList, false, 302, P::BadSignature, ""},
        {"unsigned, only signed allowed", unsign, true, 301, P::UnsignedRefused, file},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeController();
        const std::string dir = tempPath("refused");
        std::filesystem::remove_all(dir);
        std::filesystem::copy(upkeep::test::examplePackageDir(), dir);
        c.change(dir);
        environment.signedOnly = c.signedOnly;
        platform::ScopedWorkingDirectory inPackage(dir);
        FirmwareCatalogue catalogue;
        catalogue.load(&environment);
        setAnalysisCatalogue(&catalogue);
        upkeep::test::SimProcess sim(upkeep::test::simPrinter(1, "Meridot-4000", "3.10"));
        ASSERT_TRUE(sim.ok()) << sim.error();
        start({listed("sim", sim.address(0))});
        select("sim");

        controller->command(resources::command::kHelpAbout);
        const std::string about = resources::text(c.aboutId);
        const std::string lead = about.substr(0, about.find('%'));
        EXPECT_EQ(view->aboutPackage.substr(0, lead.size()), lead);
        controller->command(resources::command::kSystemUpgrade);
        ASSERT_TRUE(settle());
        EXPECT_EQ(view->texts(),
                  std::vector<std::string>{refusalText({c.problem, file, c.subject, {}})});
        EXPECT_EQ(view->messages.at(0).icon, MessageIcon::Warning);
        EXPECT_FALSE(sim.waitForLine("received", std::chrono::milliseconds(300)))
            << "the printer was sent bytes";
        setAnalysisCatalogue(&package.catalogue());
        environment.signedOnly = false;
    }
}

TEST_F(DownloadTest, AnalysisEndingDuringADownloadLeavesItRunning) {
    upkeep::test::SimProcess sim(
        upkeep::test::simPrinter(1, "Meridot-4000", "3.10", "data = slow:8000000\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file = bigFile();
    start({listed("slow", sim.address(0))});
    select("slow");
    view->ctrl = true;
    view->file = file;
    controller->command(resources::command::kSystemUpgrade);
    ASSERT_TRUE(controller->downloadRunning());

    controller->command(resources::command::kViewRefresh);  // an analysis during the download...
    view->cancelSearching();                                // ...that ends while it runs
    EXPECT_TRUE(controller->downloadRunning());
    EXPECT_TRUE(controller->sendingOpen());
    EXPECT_TRUE(view->timerRunning);
    controller->command(resources::command::kSystemUpgrade);
    EXPECT_EQ(view->texts(), std::vector<std::string>{resources::text(267)}) << "still busy";

    bool done = queue->drainUntil(
        [&] {
            controller->progressTick();
            return !controller->downloadRunning();
        },
        std::chrono::seconds(60));
    ASSERT_TRUE(done);
    settle();
    EXPECT_EQ(view->messages.size(), 1u) << view->texts().back();
    auto line = sim.waitForLine("received " + sim.address(0), std::chrono::seconds(10));
    ASSERT_TRUE(line);
    EXPECT_NE(line->find(std::to_string(kBigMegabytes << 20)), std::string::npos) << *line;
    ASSERT_FALSE(view->progress.empty());
    EXPECT_TRUE(std::is_sorted(view->progress.begin(), view->progress.end()));
    EXPECT_EQ(view->progress.back(), kProgressWhole);
}

TEST_F(DownloadTest, QuittingWhileBothWorkersRunStopsThemSafely) {
    platform::ScopedTimeScale scaled(0.01);
    upkeep::test::SimProcess sim(
        upkeep::test::simPrinter(1, "Meridot-4000", "3.10", "data = slow:2000000\n") +
        upkeep::test::simPrinter(2, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file = bigFile();
    start({listed("slow", sim.address(0)), listed("silent", sim.address(1))});
    select("slow");
    view->ctrl = true;
    view->file = file;
    controller->command(resources::command::kSystemUpgrade);
    view->selected.reset();
    controller->command(resources::command::kViewRefresh);
    ASSERT_TRUE(controller->downloadRunning());
    ASSERT_TRUE(controller->analysisRunning());

    auto begin = std::chrono::steady_clock::now();
    controller.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    // What the workers posted before they stopped is dropped.
    queue->drain();
    EXPECT_TRUE(view->messages.empty());
    EXPECT_EQ(view->searchingLive, 0);
    EXPECT_EQ(view->sendingLive, 0);
}

// One community is enough here: that an empty one is sent as it stands is
// the command line's test.
TEST_F(DownloadTest, CommunityChangeReachesTheNextQuery) {
    upkeep::test::SimProcess sim(
        upkeep::test::simPrinter(1, "Meridot-4000", "4.00", "community = tealwing\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string before = community();
    start({}, true);
    view->communityAnswer = "tealwing";
    controller->command(resources::command::kCommunityName);
    EXPECT_EQ(view->communityShown, before);
    EXPECT_EQ(community(), "tealwing");

    view->addressAnswers = {AddressAnswer{0, sim.address(0)}};
    controller->command(resources::command::kFileNew);
    ASSERT_TRUE(settle());
    setCommunity(before);
    ASSERT_EQ(view->rows.size(), 1u);
    EXPECT_EQ(view->rows[0].state, resources::text(152));
}

}  // namespace
}  // namespace upkeep::app
