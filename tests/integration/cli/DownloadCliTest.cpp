// upkeepctl check, upgrade, downgrade and send against simulated printers.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "integration/sim/SimHelpers.h"
#include "printer/DownloadHistory.h"
#include "support/ChildProcess.h"
#include "support/CommandRunner.h"
#include "support/Paths.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

class DownloadCli : public ::testing::Test {
  protected:
    void SetUp() override { dir = test::makeTempDir("cli"); }
    void TearDown() override { test::removeTree(dir); }
    // Downloads are confirmed, as a script must.
    static test::CommandResult ctl(std::vector<std::string> args) {
        args.insert(args.end(), {"--package", test::examplePackageDir()});
        if (args[0] == "upgrade" || args[0] == "downgrade" || args[0] == "send")
            args.push_back("--yes");
        return test::runCtl(args);
    }
    std::string dir;  // the test's own, removed after it
};

TEST_F(DownloadCli, CheckListsTargetsInOrderWithTheirStates) {
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-5200", "6.00", "subsystem = Finisher-F2 | F2.10\n") +
        test::simPrinter(2, "", "", "snmp = silent\n") +
        test::simPrinter(3, "Meridot-4000", "4.00", "community = \"\"\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto r = ctl({"check", "--json", sim.address(1), sim.address(0)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string expected =
        "[\n  {\"name\": \"" + sim.address(1) +
        "\", \"state\": \"notReachable\", \"effectiveState\": \"notReachable\", \"stateText\": "
        "\"Could not access\", \"model\": \"\", \"version\": \"\", \"modelText\": \"\", "
        "\"versionText\": \"\", \"portType\": \"TcpIp\", \"port\": \"" +
        sim.address(1) +
        "\", \"available\": null, \"package\": \"signed\", \"subsystems\": [], \"upgrades\": "
        "[]},\n  {\"name\": \"" +
        sim.address(0) +
        "\", \"state\": \"upToDate\", \"effectiveState\": \"upgradeAvailable\", \"stateText\": "
        "\"Upgrade available\", \"model\": \"Meridot-5200\", \"version\": \"6.00\", \"modelText\": "
        "\"Meridot-5200 Finisher-F2 \", \"versionText\": \"6.00 F2.10 \", \"portType\": \"TcpIp\", "
        "\"port\": \"" +
        sim.address(0) +
        "\", \"available\": null, \"package\": \"signed\", \"subsystems\": [{\"model\": "
        "\"Finisher-F2\", \"version\": "
        "\"F2.10\", \"state\": \"upgradeAvailable\", \"available\": \"F2.30\"}], \"upgrades\": "
        "[{\"model\": \"Finisher-F2\", \"version\": \"F2.30\", \"file\": \"finf2_230.fmw\"}]}\n]\n";
    EXPECT_EQ(r.out, expected);
    for (const char* refused : {"ipx:zz", "lpt:junk"})
        EXPECT_EQ(ctl({"check", refused}).exitCode, 2) << refused;
    // A parallel port that is not there is named, beside its row.
    r = ctl({"check", "lpt:/nonexistent/lp9"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("There is no parallel port: /nonexistent/lp9 does not exist."),
              std::string::npos)
        << r.err;
    // The empty community is a legal one and is sent.
    r = ctl({"check", sim.address(2), "--community", ""});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Meridot-4000  4.00"), std::string::npos) << r.out;
    EXPECT_EQ(ctl({"check"}).exitCode, 2);
    // For monitoring: the states that make the check fail.
    const struct {
        std::string target, states;
        int exitCode;
    } failOn[] = {
        {sim.address(1), "unreachable", 1},
        {sim.address(0), "unreachable", 0},
        {sim.address(0), "notReachable,upgrade", 1},
        {sim.address(0), "bogus", 2},
    };
    for (const auto& c : failOn) {
        EXPECT_EQ(ctl({"check", c.target, "--fail-on", c.states}).exitCode, c.exitCode)
            << c.target << " " << c.states;
    }
}

// --metrics: the text exposition format, a sample per printer and metric,
// label values escaped; never together with --json.
TEST_F(DownloadCli, CheckMetricsDescribeEachPrinter) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10") +
                         test::simPrinter(2, "", "", "snmp = silent\n") +
                         test::simPrinter(3, "Meridot-4000", "4.00") +
                         // An unknown model with a quote, a backslash and a newline.
                         test::simPrinter(4, "\"A\\\"B\\\\C\\nD\"", "1.0"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file = dir + "/upkeep.prom";
    auto r =
        test::runCtl({"check", "--metrics", "--package", test::examplePackageDir(), sim.address(0),
                      sim.address(1), sim.address(2), sim.address(3), sim.address(0)},
                     {}, file);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::ifstream in(file);
    const std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto labels = [&](std::size_t i, const std::string& model, const std::string& version) {
        return "{printer=\"" + sim.address(i) + "\",model=\"" + model + "\",version=\"" + version +
               "\"";
    };
    const std::vector<std::string> expected = {
        "# TYPE upkeep_printer_reachable gauge",
        "upkeep_printer_reachable" + labels(0, "Meridot-4000", "3.10") + "} 1",
        "upkeep_printer_reachable" + labels(1, "", "") + "} 0",
        "upkeep_printer_upgrade_available" + labels(0, "Meridot-4000", "3.10") + "} 1",
        "upkeep_printer_upgrade_available" + labels(2, "Meridot-4000", "4.00") + "} 0",
        "upkeep_printer_state" + labels(0, "Meridot-4000", "3.10") +
            ",state=\"upgradeAvailable\"} 1",
        "upkeep_printer_state" + labels(1, "", "") + ",state=\"notReachable\"} 1",
        "upkeep_printer_state" + labels(3, "A\\\"B\\\\C\\nD", "1.0") + ",state=\"unsupported\"} 1",
        "# HELP upkeep_check_timestamp_seconds",
        "upkeep_check_timestamp_seconds "};
    for (const std::string& line : expected) {
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    }
    // A target named twice is one series.
    const std::string first = "upkeep_printer_reachable" + labels(0, "Meridot-4000", "3.10");
    EXPECT_EQ(out.find(first, out.find(first) + 1), std::string::npos) << out;
    if (::access("/usr/bin/promtool", X_OK) == 0) {
        auto lint = test::runCommand({"/bin/sh", "-c", "promtool check metrics <\"$0\"", file});
        EXPECT_EQ(lint.exitCode, 0) << lint.out << lint.err;
    }
    EXPECT_EQ(test::runCtl({"check", "--json", "--metrics", sim.address(0)}).exitCode, 2);
}

// A descriptor limit far below --parallel: the tool asks fewer printers at
// once rather than report live ones as "Could not access".
TEST_F(DownloadCli, CheckFitsItsParallelismToTheDescriptorsLeft) {
    std::string config;
    for (int n = 1; n <= 250; ++n)
        config += test::simPrinter(n, "Meridot-4000", "4.00");
    test::SimProcess sim(config);
    ASSERT_TRUE(sim.ok()) << sim.error();
    std::string command =
        "ulimit -n 64 && exec \"$0\" check --json --parallel 512 --package \"$1\"";
    std::vector<std::string> argv = {"/bin/sh", "-c", "", test::ctlPath(),
                                     test::examplePackageDir()};
    for (int i = 0; i < 250; ++i) {
        command += " " + sim.address(static_cast<std::size_t>(i));
    }
    argv[2] = command;
    auto r = test::runCommand(argv, {{"LANG", "C"}, {"UPKEEP_TIME_SCALE", "0.01"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::size_t current = 0;
    for (std::size_t at = 0; (at = r.out.find("\"state\": \"upToDate\"", at)) != std::string::npos;
         ++at)
        ++current;
    EXPECT_EQ(current, 250u) << r.err;
}

TEST_F(DownloadCli, UpgradeDowngradeAndRefusals) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10") +
                         test::simPrinter(2, "Meridot-9999", "1.0") +
                         test::simPrinter(3, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string a = sim.address(0), silent = sim.address(2);
    const std::string package = test::examplePackageDir();
    const std::string emptyFile = ::testing::TempDir() + "upkeep-empty.fmw";
    std::ofstream(emptyFile).flush();
    // A dry run says what would go, and sends nothing.
    auto dry = ctl({"upgrade", a, "--dry-run", "--json"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_NE(dry.out.find("\"wouldSend\": [{\"model\": \"Meridot-4000\", \"from\": \"3.10\", "
                           "\"to\": \"4.00\", \"file\": \"m4000_400.fmw\"}]"),
              std::string::npos)
        << dry.out;
    // Without a terminal to ask on, only --yes lets a download go.
    auto unconfirmed = test::runCtl({"upgrade", a, "--package", test::examplePackageDir()});
    EXPECT_EQ(unconfirmed.exitCode, 2);
    EXPECT_NE(unconfirmed.err.find("confirmation needed: pass --yes"), std::string::npos);
    // In order: each step finds the printer as the one before left it.
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string text;  // all of stdout on success, else part of stderr
        bool applied = false;
    } steps[] = {
        // One printer named three ways gets one download.
        {{"upgrade", a, a, a + ":9100"}, 0, "Upgrade successfully sent.\n", true},
        {{"upgrade", a},
         0,
         "The printer has the latest system software provided with this program.\n"},
        {{"downgrade", a, "2.00"}, 1, "The package lists no version 2.00 for Meridot-4000."},
        {{"downgrade", "lpt:/nonexistent/lp9", "3.10"},
         1,
         "There is no parallel port: /nonexistent/lp9 does not exist."},
        {{"downgrade", a, "3.20"}, 0, "Downgrade successfully sent.\n", true},
        {{"upgrade", sim.address(1)}, 1, "does not support upkeep"},
        {{"upgrade", silent}, 1, "could not be contacted"},
        // A forced send does not look at the printer's state.
        {{"send", silent, package + "/m4000_310.fmw"},
         0,
         package + "/m4000_310.fmw (" +
             std::to_string(std::filesystem::file_size(package + "/m4000_310.fmw")) +
             " bytes) sent to " + silent + ".\n"},
        {{"send", silent, "/no/such/file.fmw"}, 1, ""},
        {{"send", silent, emptyFile}, 1, "The file is empty: nothing was sent."},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args[0] + " " + step.args.back());
        auto r = ctl(step.args);
        EXPECT_EQ(r.exitCode, step.exitCode) << r.err;
        if (step.exitCode == 0 && !step.text.empty()) {
            EXPECT_EQ(r.out, step.text);
        } else {
            EXPECT_NE(r.err.find(step.text), std::string::npos) << r.err;
        }
        if (step.applied) {
            ASSERT_TRUE(sim.waitForLine("applied " + a));
        }
    }
    std::remove(emptyFile.c_str());
    // The upgrade and the downgrade: two downloads, no more.
    EXPECT_TRUE(sim.waitForLine("received " + a + " 2 "));
    EXPECT_FALSE(sim.waitForLine("received " + a + " 3 ", std::chrono::milliseconds(300)));

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

// The tool's own texts follow the locale; a few commands' lines in German,
// and one in Japanese, stand for them all.
TEST_F(DownloadCli, SpeaksTheLanguageOfTheLocale) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const struct {
        const char* locale;
        std::vector<std::string> args;
        int exitCode;
        std::string text;  // in stdout or stderr
    } cases[] = {
        {"de_DE.UTF-8", {"history"}, 0, "Zeit"},
        {"de_DE.UTF-8", {"check", "--bogus"}, 2, "unbekannte Option --bogus\nAufruf: upkeepctl"},
        {"de_DE.UTF-8", {"upgrade", sim.address(0)}, 2, "Bestätigung nötig: --yes angeben"},
        {"de_DE.UTF-8", {"--help"}, 0, "Befehle:"},
        // A reason made in English for --json is shown translated, and --json
        // itself stays the same in every language.
        {"de_DE.UTF-8",
         {"downgrade", sim.address(0), "2.50"},
         1,
         "Das Paket enthält keine Version 2.50 für Meridot-4000."},
        {"de_DE.UTF-8",
         {"downgrade", sim.address(0), "2.50", "--json"},
         1,
         R"("reason": "The package lists no version 2.50 for Meridot-4000.")"},
        {"ja_JP.UTF-8", {"check", "--bogus"}, 2, "不明なオプション --bogus"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.args[0]);
        std::vector<std::string> args = c.args;
        if (args[0] == "upgrade" || args[0] == "downgrade")
            args.insert(args.end(), {"--package", test::examplePackageDir()});
        auto r = test::runCtl(
            args,
            {{"LANG", c.locale}, {"LC_MESSAGES", ""}, {"UPKEEP_HISTORY", dir + "/history.jsonl"}});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE((r.out + r.err).find(c.text), std::string::npos) << r.out << r.err;
    }
    EXPECT_FALSE(sim.waitForLine("received", std::chrono::milliseconds(100)));
}

// A printer whose kernel takes and acknowledges the whole file but whose
// program stops reading it and ends its side: the tool says the transfer
// failed, and an ordinary printer's still succeeds.
TEST_F(DownloadCli, APrinterThatStopsReadingFailsTheTransfer) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10") +
                         test::simPrinter(2, "Meridot-4000", "3.10",
                                          "data = half-close:1000\nreceive-window = kernel\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const struct {
        const char* command;
        std::size_t printer;
        std::size_t bytes;
        int exitCode;
    } cases[] = {
        {"send", 0, 100'000, 0},
        {"add-profile", 0, 100'000, 0},
        // Its kernel grows the window as the file streams in, and tunes it
        // again at the end: read to the last byte, it still counts as full.
        {"send", 0, 6'000'000, 0},
        {"send", 1, 100'000, 1},
        {"add-profile", 1, 100'000, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + std::to_string(c.printer) + " " +
                     std::to_string(c.bytes));
        const bool send = std::string(c.command) == "send";
        const std::string file =
            send ? test::firmwareFile(dir + "/f.fmw", "Meridot-4000", "9.00", c.bytes)
                 : test::profileFile(dir + "/p.pdw", c.bytes);
        auto r = test::runCtl({c.command, sim.address(c.printer), file, "--yes"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    }
}

// A second, and more under a sanitizer, which slows the tool several times.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr auto kStopLimit = std::chrono::seconds(3);
#else
constexpr auto kStopLimit = std::chrono::seconds(1);
#endif

// Ctrl-C and SIGTERM during a download to printers that hold it up, at
// real time: the tool is gone within a second, says so, and the printer
// never gets the whole file.
TEST_F(DownloadCli, InterruptedSendEndsAtOnceAndThePrinterGetsNoMore) {
    const struct {
        const char* data;
        std::vector<int> signals;
    } cases[] = {
        {"stall", {SIGINT}},
        {"slow:20000", {SIGINT}},
        {"slow:20000", {SIGTERM}},
        {"stall", {SIGINT, SIGINT}},
    };
    const std::string file = test::firmwareFile(dir + "/big.fmw", "Meridot-4000", "9.00", 4 << 20);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.data) + " x" + std::to_string(c.signals.size()));
        test::SimProcess sim(
            test::simPrinter(1, "Meridot-4000", "3.10", std::string("data = ") + c.data + "\n"));
        ASSERT_TRUE(sim.ok()) << sim.error();
        const std::string log = dir + "/stderr";
        pid_t pid = test::spawn({test::ctlPath(), "send", sim.address(0), file, "--yes"}, log, -1,
                                {"LANG=C", "LC_ALL=",
                                 // A second signal leaves without joining the
                                 // worker, by design: not a leak to report.
                                 "TSAN_OPTIONS=halt_on_error=1:report_thread_leaks=0"});
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < c.signals.size(); ++i) {
            // Apart, or the kernel may merge two pending signals into one.
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::kill(pid, c.signals[i]);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_LT(std::chrono::steady_clock::now() - start, kStopLimit);
        // A second signal that comes after the tool has let go of the
        // download ends it the usual way, by the signal.
        const bool secondEnded =
            c.signals.size() > 1 && WIFSIGNALED(status) && WTERMSIG(status) == c.signals.back();
        ASSERT_TRUE(WIFEXITED(status) || secondEnded) << status;
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 1);
        }
        EXPECT_NE(test::readFile(log).find("canceled"), std::string::npos) << test::readFile(log);
        auto line = sim.waitForLine("received " + sim.address(0), std::chrono::seconds(5));
        ASSERT_TRUE(line);
        EXPECT_LT(std::stoull(line->substr(line->rfind(' ') + 1)), 4u << 20) << *line;
        EXPECT_FALSE(sim.waitForLine("applied", std::chrono::milliseconds(200)));
    }
}

// One printer, one flash at a time, across processes: while one tool sends
// to a printer, another's download to it (however it is named) is refused
// before it connects.
TEST_F(DownloadCli, ASecondDownloadToAPrinterInUseIsRefused) {
    const std::string file = test::firmwareFile(dir + "/big.fmw", "Meridot-4000", "9.00", 4 << 20);
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10", "data = stall\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string a = sim.address(0);
    pid_t pid = test::spawn({test::ctlPath(), "send", a, file, "--yes"}, dir + "/stderr", -1,
                            {"LANG=C", "LC_ALL="});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const std::vector<std::string>& second :
         {std::vector<std::string>{"send", a, file, "--yes"},
          std::vector<std::string>{"upgrade", a + ":9100", "--yes"}}) {
        auto r = ctl(second);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("another download to this printer is running"), std::string::npos)
            << r.err;
    }
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(sim.waitForLine("received " + a + " 1 ", std::chrono::seconds(5)));
    EXPECT_FALSE(sim.waitForLine("received " + a + " 2 ", std::chrono::milliseconds(300)));
}

// Every command explains itself, whatever else is on the line, and does
// nothing else.
TEST_F(DownloadCli, EveryCommandAnswersHelp) {
    const std::vector<std::string> cases[] = {
        {"query", "--help"},         {"catalogue", "--help"},
        {"check", "lpt:", "--help"}, {"upgrade", "--all", "--help"},
        {"downgrade", "--help"},     {"send", "--bogus", "--help"},
        {"profiles", "--help"},      {"add-profile", "--help"},
        {"printers", "--help"},      {"history", "--help"},
        {"help", "check"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args.back());
        auto r = test::runCtl(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::string name = args[0] == "help" ? args[1] : args[0];
        EXPECT_EQ(r.out.rfind("usage: upkeepctl " + name + " ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("\noptions:\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("  --help  "), std::string::npos) << r.out;
    }
}

// Output that cannot be written is a failure, for every command (one check
// wraps them all): a script must not take a cut table for the whole.
TEST_F(DownloadCli, OutputThatCannotBeWrittenIsAFailure) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string package = test::examplePackageDir();
    const std::vector<std::string> commands[] = {
        {"check", "--json", sim.address(0), "--package", package},
        {"history"},
        {"--version"},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0] + " " + args.back());
        auto r = test::runCtl(args, {}, "/dev/full");
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("cannot write the standard output"), std::string::npos) << r.err;
    }
}

// A history file is written by others too: no field of it reaches the
// terminal raw.
TEST_F(DownloadCli, HistoryTableEscapesEveryField) {
    const std::string history = dir + "/history.jsonl";
    const std::string bad =
        "a\x1b]0;title\x07"
        "b";
    std::ofstream(history)
        << history::toLine(
               {bad, bad, bad, bad, bad, bad, {bad, 1, bad}, bad, bad, bad, bad, bad, bad, bad, 0})
        << "\n";
    auto r = test::runCtl({"history"}, {{"UPKEEP_HISTORY", history}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find_first_of("\x1b\x07"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("a\\x1b]0;title\\x07b  "), std::string::npos) << r.out;
}

// The history names the bytes the printer got, not the file that took the
// path's place during the transfer.
TEST_F(DownloadCli, HistoryRecordsTheFileAsSent) {
    const std::string file = test::firmwareFile(dir + "/f.fmw", "Meridot-4000", "9.00", 600 * 1024);
    test::firmwareFile(dir + "/other.fmw", "Meridot-4000", "9.10", 10);
    const std::string history = dir + "/history.jsonl";
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10", "data = slow:300000\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    std::thread replace([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::filesystem::rename(dir + "/other.fmw", file);
    });
    // At real time: a printer this slow outlasts the scaled send time-out.
    auto r = test::runCtl({"send", sim.address(0), file, "--yes"},
                          {{"UPKEEP_HISTORY", history}, {"UPKEEP_TIME_SCALE", "1"}});
    replace.join();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(0) + " 1 "));
    const std::string received = sim.record(0, 1);
    history::SentBytes bytes;
    bytes.add(reinterpret_cast<const std::uint8_t*>(received.data()), received.size());
    const history::FileFacts expected = bytes.finish();
    auto records = history::read(history).records;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].file.path, file);
    EXPECT_EQ(records[0].file.size, expected.size);
    EXPECT_EQ(records[0].file.sha256, expected.sha256);
}

}  // namespace
}  // namespace upkeep
