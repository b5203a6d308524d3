// upkeepctl check, upgrade, downgrade and send against simulated printers.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "integration/cli/CliTest.h"
#include "integration/sim/SimHelpers.h"
#include "printer/DownloadHistory.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

using test::HasSubstr;
using DownloadCli = test::CliTest;

TEST_F(DownloadCli, CheckListsTargetsInOrderWithTheirStates) {
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-5200", "6.00", "subsystem = Finisher-F2 | F2.10\n") +
        test::simPrinter(2, "", "", "snmp = silent\n") +
        test::simPrinter(3, "Meridot-4000", "4.00", "community = \"\"\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto r = ctl({"check", "--json", sim.address(1), sim.address(0)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The whole document, as a script reads it.
    EXPECT_EQ(r.out, test::fixture("check.json", {sim.address(0), sim.address(1)}));
    // A parallel port that is not there is named, beside its row.
    r = ctl({"check", "lpt:/nonexistent/lp9"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("There is no parallel port: /nonexistent/lp9 does not exist."));
    // The empty community is a legal one and is sent.
    r = ctl({"check", sim.address(2), "--community", ""});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Meridot-4000  4.00"));
    // Refused arguments, and for monitoring the states that fail the check.
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } exits[] = {
        {{"ipx:zz"}, 2},
        {{"lpt:junk"}, 2},
        {{}, 2},
        {{"--json", "--metrics", sim.address(0)}, 2},
        {{"--json-lines", "--json", sim.address(0)}, 2},
        {{sim.address(1), "--fail-on", "unreachable"}, 1},
        {{sim.address(0), "--fail-on", "unreachable"}, 0},
        {{sim.address(0), "--fail-on", "notReachable,upgrade"}, 1},
        {{sim.address(0), "--fail-on", "bogus"}, 2},
    };
    for (const auto& c : exits) {
        std::vector<std::string> args = {"check"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(ctl(args).exitCode, c.exitCode) << testing::PrintToString(args);
    }
}

// --metrics: the text exposition format, a sample per printer and metric,
// label values escaped.
TEST_F(DownloadCli, CheckMetricsDescribeEachPrinter) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10") +
                         test::simPrinter(2, "", "", "snmp = silent\n") +
                         test::simPrinter(3, "Meridot-4000", "4.00") +
                         // An unknown model with a quote, a backslash and a newline.
                         test::simPrinter(4, "\"A\\\"B\\\\C\\nD\"", "1.0"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto r = ctl({"check", "--metrics", sim.address(0), sim.address(1), sim.address(2),
                  sim.address(3), sim.address(0)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The whole document, a target named twice one series; but the time.
    const std::string& out = r.out;
    const std::size_t time = out.rfind(' ') + 1;
    EXPECT_EQ(out.substr(0, time) + "@TIME@\n",
              test::fixture("check.prom",
                            {sim.address(0), sim.address(1), sim.address(2), sim.address(3)}));
    EXPECT_GT(std::stoll(out.substr(time)), 1'700'000'000) << out;
    if (::access("/usr/bin/promtool", X_OK) == 0) {
        auto lint =
            test::runCommand({"/bin/sh", "-c", "printf %s \"$0\" | promtool check metrics", out});
        EXPECT_EQ(lint.exitCode, 0) << lint.out << lint.err;
    }
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
    for (std::size_t i = 0; i < 250; ++i)
        command += " " + sim.address(i);
    auto r =
        test::runCommand({"/bin/sh", "-c", command, test::ctlPath(), test::examplePackageDir()},
                         {{"LANG", "C"}, {"UPKEEP_TIME_SCALE", "0.01"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::size_t current = 0;
    for (const auto& row : nlohmann::json::parse(r.out, nullptr, false))
        current += row["state"] == "upToDate";
    EXPECT_EQ(current, 250u) << r.err;
}

TEST_F(DownloadCli, UpgradeDowngradeAndRefusals) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10") +
                         test::simPrinter(2, "Meridot-9999", "1.0") +
                         test::simPrinter(3, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string a = sim.address(0), silent = sim.address(2);
    const std::string package = test::examplePackageDir();
    const std::string emptyFile = dir_ + "/empty.fmw";
    std::ofstream(emptyFile).flush();
    // A dry run says what would go, and sends nothing.
    auto dry = ctl({"upgrade", a, "--dry-run", "--json"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_THAT(dry.out, HasSubstr("\"wouldSend\": [{\"model\": \"Meridot-4000\", \"from\": "
                                   "\"3.10\", \"to\": \"4.00\", \"file\": \"m4000_400.fmw\"}]"));
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
        {{"downgrade", "lpt:/nonexistent/lp9", "3.10"},
         1,
         "There is no parallel port: /nonexistent/lp9 does not exist."},
        {{"downgrade", a, "3.20"}, 0, "Downgrade successfully sent.\n", true},
        {{"upgrade", sim.address(1)}, 1, "does not support upkeep"},
        // A forced send does not look at the printer's state.
        {{"send", silent, package + "/m4000_310.fmw"},
         0,
         package + "/m4000_310.fmw (" +
             std::to_string(std::filesystem::file_size(package + "/m4000_310.fmw")) +
             " bytes) sent to " + silent + ".\n"},
        {{"send", silent, "/no/such/file.fmw"},
         1,
         "The system software file could not be found on your computer. (/no/such/file.fmw)"},
        {{"send", silent, emptyFile}, 1, "The file is empty: nothing was sent."},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args[0] + " " + step.args.back());
        auto r = ctl(step.args);
        EXPECT_EQ(r.exitCode, step.exitCode) << r.err;
        if (step.exitCode == 0 && !step.text.empty()) {
            EXPECT_EQ(r.out, step.text);
        } else {
            EXPECT_THAT(r.err, HasSubstr(step.text));
        }
        if (step.applied) {
            ASSERT_TRUE(sim.waitForLine("applied " + a));
        }
    }
    // The upgrade and the downgrade: two downloads, no more.
    EXPECT_TRUE(sim.waitForLine("received " + a + " 2 "));
    EXPECT_FALSE(sim.waitForLine("received " + a + " 3 ", std::chrono::milliseconds(300)));

    // A file named relative to where the tool runs is that file, not the
    // package's file of the same name.
    std::ofstream(dir_ + "/m4000_310.fmw") << "the user's own file";
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir_);  // the tool starts in the test's directory
    auto relative = ctl({"send", silent, "m4000_310.fmw"});
    std::filesystem::current_path(before);
    EXPECT_EQ(relative.exitCode, 0) << relative.err;
    ASSERT_TRUE(sim.waitForLine("received " + silent + " 1 "));
    ASSERT_TRUE(sim.waitForLine("received " + silent + " 2 "));
    EXPECT_EQ(sim.record(2, 2), "the user's own file");
}

// The tool's own texts follow the locale; a few commands' lines in German,
// and one in Japanese, stand for them all.
TEST_F(DownloadCli, SpeaksTheLanguageOfTheLocale) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string a = sim.address(0), package = test::examplePackageDir();
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string text;  // in stdout or stderr
        const char* locale = "de_DE.UTF-8";
    } cases[] = {
        {{"history"}, 0, "Zeit"},
        {{"check", "--bogus"}, 2, "unbekannte Option --bogus\nAufruf: upkeepctl"},
        // Without a terminal to ask on, only --yes lets a download go.
        {{"upgrade", a, "--package", package}, 2, "Bestätigung nötig: --yes angeben"},
        {{"--help"}, 0, "Befehle:"},
        // A reason made in English for --json is shown translated, and --json
        // itself stays the same in every language.
        {{"downgrade", a, "2.50", "--package", package},
         1,
         "Das Paket enthält keine Version 2.50 für Meridot-4000."},
        {{"downgrade", a, "2.50", "--json", "--package", package},
         1,
         R"("reason": "The package lists no version 2.50 for Meridot-4000.")"},
        {{"check", "--bogus"}, 2, "不明なオプション --bogus", "ja_JP.UTF-8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.args[0]);
        auto r = test::runCtl(
            c.args, {{"LANG", c.locale}, {"LC_MESSAGES", ""}, {"UPKEEP_HISTORY", history()}});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_THAT(r.out + r.err, HasSubstr(c.text));
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
            send ? test::firmwareFile(dir_ + "/f.fmw", "Meridot-4000", "9.00", c.bytes)
                 : test::profileFile(dir_ + "/p.pdw", c.bytes);
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
// never gets the whole file. One printer, one flash at a time, across
// processes: meanwhile another tool's download to it (however it is named)
// is refused before it connects.
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
    const std::string file = test::firmwareFile(dir_ + "/big.fmw", "Meridot-4000", "9.00", 4 << 20);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.data) + " x" + std::to_string(c.signals.size()));
        test::SimProcess sim(
            test::simPrinter(1, "Meridot-4000", "3.10", std::string("data = ") + c.data + "\n"));
        ASSERT_TRUE(sim.ok()) << sim.error();
        const std::string a = sim.address(0);
        // A second signal leaves without joining the worker, by design: not
        // a leak to report.
        pid_t pid = start({"send", a, file, "--yes"},
                          {"TSAN_OPTIONS=halt_on_error=1:report_thread_leaks=0"});
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        for (const std::vector<std::string>& second :
             {std::vector<std::string>{"send", a, file}, {"upgrade", a + ":9100"}}) {
            auto r = ctl(second);
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_THAT(r.err, HasSubstr("another download to this printer is running"));
        }
        const Ended ended = end(pid, c.signals);
        EXPECT_LT(ended.took, kStopLimit);
        // A second signal that comes after the tool has let go of the
        // download ends it the usual way, by the signal.
        const int status = ended.status;
        const bool secondEnded =
            c.signals.size() > 1 && WIFSIGNALED(status) && WTERMSIG(status) == c.signals.back();
        ASSERT_TRUE(WIFEXITED(status) || secondEnded) << status;
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 1);
        }
        EXPECT_THAT(test::readFile(log()), HasSubstr("canceled"));
        auto line = sim.waitForLine("received " + a + " 1 ", std::chrono::seconds(5));
        ASSERT_TRUE(line);
        EXPECT_LT(std::stoull(line->substr(line->rfind(' ') + 1)), 4u << 20) << *line;
        EXPECT_FALSE(sim.waitForLine("received", std::chrono::milliseconds(200)));
        EXPECT_FALSE(sim.waitForLine("applied", std::chrono::milliseconds(200)));
    }
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
        EXPECT_THAT(r.out, HasSubstr("\noptions:\n"));
        EXPECT_THAT(r.out, HasSubstr("  --help  "));
    }
}

// Output that cannot be written is a failure, for every command (one check
// wraps them all): a script must not take a cut table for the whole.
TEST_F(DownloadCli, OutputThatCannotBeWrittenIsAFailure) {
    for (const char* command : {"history", "--version"}) {
        auto r = test::runCommand(
            {"/bin/sh", "-c", "exec \"$0\" \"$1\" >/dev/full", test::ctlPath(), command},
            {{"LANG", "C"}, {"UPKEEP_HISTORY", history()}});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_THAT(r.err, HasSubstr("cannot write the standard output"));
    }
}

// A history file is written by others too: no field of it reaches the
// terminal raw.
TEST_F(DownloadCli, HistoryTableEscapesEveryField) {
    const std::string bad =
        "a\x1b]0;title\x07"
        "b";
    std::ofstream(history())
        << history::toLine(
               {bad, bad, bad, bad, bad, bad, {bad, 1, bad}, bad, bad, bad, bad, bad, bad, bad, 0})
        << "\n";
    auto r = ctl({"history"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find_first_of("\x1b\x07"), std::string::npos) << r.out;
    EXPECT_THAT(r.out, HasSubstr("a\\x1b]0;title\\x07b  "));
}

// The history names the bytes the printer got, not the file that took the
// path's place during the transfer.
TEST_F(DownloadCli, HistoryRecordsTheFileAsSent) {
    const std::string file =
        test::firmwareFile(dir_ + "/f.fmw", "Meridot-4000", "9.00", 600 * 1024);
    test::firmwareFile(dir_ + "/other.fmw", "Meridot-4000", "9.10", 10);
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10", "data = slow:300000\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    std::thread replace([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::filesystem::rename(dir_ + "/other.fmw", file);
    });
    // At real time: a printer this slow outlasts the scaled send time-out.
    auto r = ctl({"send", sim.address(0), file}, {{"UPKEEP_TIME_SCALE", "1"}});
    replace.join();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(0) + " 1 "));
    const std::string received = sim.record(0, 1);
    history::SentBytes bytes;
    bytes.add(reinterpret_cast<const std::uint8_t*>(received.data()), received.size());
    const history::FileFacts expected = bytes.finish();
    auto records = history::read(history()).records;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].file.path, file);
    EXPECT_EQ(records[0].file.size, expected.size);
    EXPECT_EQ(records[0].file.sha256, expected.sha256);
}

}  // namespace
}  // namespace upkeep
