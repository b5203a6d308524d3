// upkeepctl upgrade over a fleet of simulated printers, --verify after a
// download, the download history, and --all without a spooler.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "integration/sim/SimHelpers.h"
#include "printer/DownloadHistory.h"
#include "support/ChildProcess.h"
#include "support/CommandRunner.h"
#include "support/CupsdProcess.h"
#include "support/Paths.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

class FleetCli : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = test::makeTempDir("fleet-cli"); }
    void TearDown() override { test::removeTree(dir_); }

    test::CommandResult ctl(std::vector<std::string> args,
                            std::vector<std::pair<std::string, std::string>> env = {}) {
        if (args[0] != "history")
            args.insert(args.end(), {"--package", test::examplePackageDir()});
        // Downloads are confirmed, as a script must.
        if (args[0] == "upgrade" || args[0] == "downgrade" || args[0] == "send")
            args.push_back("--yes");
        env.insert(env.begin(), {"UPKEEP_HISTORY", history()});
        return test::runCtl(args, env);
    }
    std::string history() const { return dir_ + "/history.jsonl"; }

    std::string dir_;
};

using Env = std::vector<std::pair<std::string, std::string>>;

// upkeepctl with its standard output and error on a pipe, then the
// descriptor `terminalFd` on a terminal that `typed` is typed at.
struct TerminalRun {
    int status = -1;
    std::string piped, shown;  // what went to the pipe, what the terminal showed
};
TerminalRun onTerminal(int terminalFd, std::vector<std::string> args, const Env& env,
                       const std::string& typed = {}) {
    TerminalRun run;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    int out[2];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::pipe(out) != 0)
        return run;
    const std::string slave = ::ptsname(master);
    args.insert(args.begin(), test::ctlPath());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int terminal = ::open(slave.c_str(), O_RDWR);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(out[1], STDERR_FILENO);
        ::dup2(terminal, terminalFd);
        for (const auto& [name, value] : env)
            ::setenv(name.c_str(), value.c_str(), 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (::write(master, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
        run.shown = "(could not type)";
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        run.piped.append(buffer, static_cast<std::size_t>(n));
    ::waitpid(pid, &run.status, 0);
    ::close(out[0]);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        run.shown.append(buffer, static_cast<std::size_t>(n));
    ::close(master);
    return run;
}

// A printer that reports a model it is not: it takes the file in and
// refuses it, answering with its old version.
std::string rejecting(int n) {
    return test::simPrinter(n, "Other", "3.10", "object 1.3.6.1.3.77.1.1.0 = Meridot-4000\n");
}

TEST_F(FleetCli, UpgradesAFleetAndReportsEachPrinterTruthfully) {
    enum Kind { kGood, kSilent, kRejecting };
    std::vector<Kind> kinds(14, kGood);
    kinds.insert(kinds.end(), {kSilent, kSilent, kSilent, kSilent, kRejecting, kRejecting});
    std::string config;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const int n = static_cast<int>(i) + 1;
        config += kinds[i] == kGood
                      ? test::simPrinter(n, "Meridot-4000", "3.10", "restart-ms = 300\n")
                  : kinds[i] == kSilent ? test::simPrinter(n, "", "", "snmp = silent\n")
                                        : rejecting(n);
    }
    test::SimProcess sim(config);
    ASSERT_TRUE(sim.ok()) << sim.error();
    // The fleet is what a private print spooler lists, queues in name order.
    if (!test::CupsdProcess::available())
        GTEST_SKIP() << "cupsd is not installed";
    test::CupsdProcess cupsd;
    ASSERT_TRUE(cupsd.started()) << cupsd.error();
    auto queue = [](std::size_t i) { return "fleet-" + std::to_string(100 + i); };
    for (std::size_t i = 0; i < kinds.size(); ++i)
        ASSERT_TRUE(cupsd.addQueue(queue(i), "socket://" + sim.address(i) + ":9100"));
    const Env spooler = cupsd.toolEnvironment();

    auto r = ctl({"upgrade", "--all", "--verify", "--yes", "--json"}, spooler);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    auto rows = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(rows.is_array() && rows.size() == kinds.size()) << r.out;
    // A printer that took the file in and kept answering with its old
    // version never applied it: that is known in minutes, not at the limit.
    const struct {
        const char *outcome, *code, *reason;
        std::size_t sent;
    } expected[] = {
        {"verified", nullptr, "verified: Meridot-4000 4.00", 1},
        {"failed", "notReachable", "could not be contacted", 0},
        {"notApplied", "notApplied", "without a restart, and still reports Meridot-4000 3.10", 1},
    };
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(rows[i].dump());
        const auto& e = expected[kinds[i]];
        EXPECT_EQ(rows[i]["printer"], queue(i));
        EXPECT_EQ(rows[i]["outcome"], e.outcome);
        EXPECT_EQ(rows[i]["code"], e.code ? nlohmann::json(e.code) : nlohmann::json());
        EXPECT_EQ(rows[i]["port"], sim.address(i));
        EXPECT_NE(rows[i]["reason"].get<std::string>().find(e.reason), std::string::npos);
        EXPECT_EQ(rows[i]["itemsSent"].size(), e.sent);
    }

    // A queue's name stands for its printer.
    auto byQueue = ctl({"check", queue(0), "--json"}, spooler);
    EXPECT_EQ(byQueue.exitCode, 0) << byQueue.err;
    EXPECT_NE(byQueue.out.find(R"("port": ")" + sim.address(0) + "\""), std::string::npos)
        << byQueue.out;
    EXPECT_NE(byQueue.out.find(R"("package": "signed")"), std::string::npos) << byQueue.out;

    // Every download is in the history, with how it was verified.
    std::ofstream(history(), std::ios::app) << "damaged line\n";
    auto h = ctl({"history", "--json"});
    ASSERT_EQ(h.exitCode, 0) << h.err;
    EXPECT_NE(h.err.find("skipped"), std::string::npos) << h.err;
    auto lines = nlohmann::json::parse(h.out, nullptr, false);
    ASSERT_TRUE(lines.is_array() && lines.size() == 16u) << h.out;
    for (const auto& line : lines) {
        SCOPED_TRACE(line.dump());
        EXPECT_EQ(line["outcome"], "sent");
        EXPECT_EQ(line["version"], "3.10");
        EXPECT_EQ(line["operation"], "upgrade");
        EXPECT_EQ(line["targetVersion"], "4.00");
        EXPECT_EQ(line["package"], "signed");
        EXPECT_FALSE(line["user"].get<std::string>().empty());
        EXPECT_FALSE(line["host"].get<std::string>().empty());
    }
    // A printer is found by its queue's name or by its address.
    for (const std::string& printer : {queue(18), sim.address(18)}) {
        auto one = ctl({"history", "--printer", printer});
        EXPECT_EQ(one.exitCode, 0);
        EXPECT_NE(one.out.find("not applied"), std::string::npos) << one.out;
        EXPECT_EQ(one.out.find(queue(0) + " "), std::string::npos) << one.out;
    }
}

// One printer at a time: what --verify says after a downgrade and a file of
// the user's choice, and downgrades that are refused before anything is sent.
TEST_F(FleetCli, DowngradeAndSendVerifyAndRefuseWhatIsNotOlder) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.20",
                                          "subsystem = Finisher-F2 | F2.30\nrestart-ms = 200\n") +
                         rejecting(2));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string a = sim.address(0), b = sim.address(1);
    const std::string file = test::examplePackageDir() + "/m4000_400.fmw";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* text;  // in stdout or stderr
    } cases[] = {
        {{"downgrade", a, "3.20"}, 1, "The printer already runs version 3.20"},
        {{"downgrade", a, "4.00"}, 1, "is newer than 3.20"},
        {{"downgrade", a, "3.10", "--verify"}, 0, "verified: Meridot-4000 3.10, Finisher-F2 F2.30"},
        {{"send", a, file, "--verify"}, 0, "verified: Meridot-4000 4.00, Finisher-F2 F2.30"},
        {{"send", b, file, "--verify"}, 1, "not applied: the printer kept answering"},
        {{"upgrade", b, "--verify-timeout", "60"}, 1, "not applied"},
        // With --json every download command answers in the same words.
        {{"downgrade", a, "4.00", "--json"}, 1, R"("outcome": "failed", "code": "sameVersion")"},
        {{"downgrade", a, "2.50", "--json"}, 1, R"("code": "versionNotListed")"},
        {{"send", b, file, "--verify", "--json"}, 1, R"("outcome": "notApplied")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        auto r = ctl(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE((r.out + r.err).find(c.text), std::string::npos) << r.out << r.err;
    }
    // Each download shows its verification's outcome, once.
    auto h = ctl({"history", "--json"});
    auto lines = nlohmann::json::parse(h.out, nullptr, false);
    ASSERT_TRUE(lines.is_array() && lines.size() == 5u) << h.out;
    EXPECT_EQ(h.out.find(history::kPending), std::string::npos) << h.out;
    // A history that cannot be written never fails the download.
    auto r = ctl({"send", a, file}, {{"UPKEEP_HISTORY", file + "/history.jsonl"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("warning: cannot write the history file"), std::string::npos) << r.err;
}

// The tool ended while it waits for the printer to come back: the printer
// has the file, and so has the history. Ctrl-C ends the wait at once, even
// while the printer, silent in its restart, is being asked.
TEST_F(FleetCli, HistoryKeepsADownloadWhoseVerificationNeverEnded) {
    const std::string file = test::examplePackageDir() + "/m4000_400.fmw";
    for (int signal : {SIGKILL, SIGINT}) {
        SCOPED_TRACE(signal);
        std::filesystem::remove(history());
        test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10", "restart-ms = 600000\n"));
        ASSERT_TRUE(sim.ok()) << sim.error();
        // At real time, so that the verification would wait its full ten
        // minutes and each question to the printer its 10 s.
        pid_t pid =
            test::spawn({test::ctlPath(), "send", sim.address(0), file, "--verify", "--yes"},
                        dir_ + "/stderr", -1, {"LANG=C", "LC_ALL=", "UPKEEP_HISTORY=" + history()});
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(sim.waitForLine("received " + sim.address(0) + " 1 "));
        const bool recorded = test::waitUntilReady(
            pid, [&] { return !test::readFile(history()).empty(); }, std::chrono::seconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        int status = -1;
        const auto start = std::chrono::steady_clock::now();
        if (pid > 0) {
            ::kill(pid, signal);
            ::waitpid(pid, &status, 0);
        }
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(recorded) << test::readFile(dir_ + "/stderr");
        if (signal == SIGINT) {
            EXPECT_LT(took, std::chrono::seconds(1));
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        }
        auto h = ctl({"history", "--json"});
        EXPECT_EQ(h.exitCode, 0) << h.err;
        auto lines = nlohmann::json::parse(h.out, nullptr, false);
        ASSERT_TRUE(lines.is_array() && lines.size() == 1u) << h.out;
        EXPECT_EQ(lines[0]["outcome"], "sent");
        EXPECT_EQ(lines[0]["verification"],
                  signal == SIGINT ? "not verified: canceled" : history::kPending);
    }
}

// Piped output does not skip the question: only standard input decides.
TEST_F(FleetCli, AsksWhenStandardInputIsATerminal) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    for (const char* answer : {"n\n", "y\n"}) {
        auto run = onTerminal(STDIN_FILENO,
                              {"upgrade", sim.address(0), "--package", test::examplePackageDir()},
                              {{"UPKEEP_HISTORY", history()}, {"LANG", "C"}}, answer);
        EXPECT_NE(run.piped.find("[y/N]"), std::string::npos) << run.piped;
        EXPECT_EQ(WEXITSTATUS(run.status), answer[0] == 'y' ? 0 : 1) << run.piped;
    }
    EXPECT_EQ(sim.waitForLine("received", std::chrono::seconds(5)).has_value(), true);
    EXPECT_FALSE(sim.waitForLine("received", std::chrono::milliseconds(200)));
}

// On a terminal, check shows how many printers have answered while it
// waits, on one line it erases at the end; the table itself stays clean.
TEST_F(FleetCli, CheckShowsProgressOnATerminalOnly) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10") +
                         test::simPrinter(2, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto run = onTerminal(
        STDERR_FILENO,
        {"check", sim.address(0), sim.address(1), "--package", test::examplePackageDir()},
        {{"LANG", "C"}, {"UPKEEP_TIME_SCALE", "0.01"}});
    const std::string &table = run.piped, &shown = run.shown;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << shown;
    EXPECT_NE(shown.find("\r\033[K2 of 2 printers answered"), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("\r\033[K")) << shown;
    EXPECT_EQ(table.find('\033'), std::string::npos) << table;
    EXPECT_NE(table.find("Meridot-4000"), std::string::npos) << table;
    // Not on a terminal: nothing but the table.
    auto r = ctl({"check", sim.address(0), sim.address(1)});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

// Catalogue lines the package refuses: a newer version whose file name does
// not fit, and a subsystem object whose number 333 would ask object 77.
TEST_F(FleetCli, RefusedCatalogueLinesNeverMakeAPrinterLookCurrent) {
    const std::string package = dir_ + "/package";
    std::filesystem::create_directories(package);
    std::ofstream(package + "/firmware.ini")
        << "[HEADER]\n[SYSTEM]\n1.3.6.1.3.77.1.1.0=1.3.6.1.3.77.1.2.0\n[SUBSYSTEM]\n"
           "1.3.6.1.3.333.2.1.1.0=1.3.6.1.3.77.2.1.2.0\n[Meridot-4000]\n3.10=m4000_310.fmw\n"
           "4.00="
        << std::string(86, 'n') << ".fmw\n[Meridot-6100 OPTIONAL]\n1.00=m6100_100.fmw\n"
        << "1.20=m6100_120.fmw\n";
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-4000", "3.10", "subsystem = Finisher-F2 | F2.10\n") +
        test::simPrinter(2, "Meridot-6100", "1.00"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--package", package});
        return test::runCtl(args, {{"UPKEEP_HISTORY", history()}});
    };
    auto r = run({"check", "--json", sim.address(0), sim.address(1)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("[SUBSYSTEM] line refused: '1.3.6.1.3.333.2.1.1.0' holds 333"),
              std::string::npos)
        << r.err;
    auto rows = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(rows.is_array() && rows.size() == 2u) << r.out;
    EXPECT_EQ(rows[0]["state"], "upgradeAvailable");
    EXPECT_EQ(rows[0]["subsystems"].size(), 0u);
    // An optional newest version whose file is not here is not offered.
    EXPECT_EQ(rows[1]["state"], "upToDate");

    r = run({"upgrade", sim.address(0), "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("newest line for Meridot-4000 (4.00) is not usable"), std::string::npos)
        << r.err;
    EXPECT_FALSE(sim.waitForLine("received", std::chrono::milliseconds(200)));
}

// --json-lines streams --json's objects as the printers answer; --parallel
// bounds the requests out at once: silent printers one at a time cost a
// read time-out each, all at once one for the lot.
TEST_F(FleetCli, CheckStreamsAnswersAndBoundsRequestsInFlight) {
    test::SimProcess sim(test::simPrinter(1, "", "", "snmp = silent\n") +
                         test::simPrinter(2, "", "", "snmp = silent\n") +
                         test::simPrinter(3, "Meridot-4000", "3.10"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::vector<std::string> fleet = {sim.address(0), sim.address(1), sim.address(2)};
    auto whole = ctl({"check", "--json", sim.address(2)});
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    const auto expected = nlohmann::json::parse(whole.out, nullptr, false)[0];
    const auto timeOut = std::chrono::milliseconds(1000);  // 10 s at the scale below
    const struct {
        std::vector<std::string> options;
        int timeOuts;
        std::size_t answeringLine;
    } runs[] = {
        {{}, 1, 0},
        {{"--parallel", "1"}, 2, 2},
    };
    for (const auto& run : runs) {
        std::vector<std::string> args = {"check", "--json-lines"};
        args.insert(args.end(), run.options.begin(), run.options.end());
        args.insert(args.end(), fleet.begin(), fleet.end());
        const auto start = std::chrono::steady_clock::now();
        auto r = ctl(args, {{"UPKEEP_TIME_SCALE", "0.1"}});
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_GE(took, timeOut * run.timeOuts);
        EXPECT_LT(took, timeOut * run.timeOuts + timeOut * 4 / 5);
        std::vector<nlohmann::json> lines;
        std::istringstream out(r.out);
        for (std::string line; std::getline(out, line);)
            lines.push_back(nlohmann::json::parse(line, nullptr, false));
        ASSERT_EQ(lines.size(), fleet.size()) << r.out;
        EXPECT_EQ(lines[run.answeringLine], expected) << r.out;
        for (const auto& line : lines) {
            ASSERT_TRUE(line.is_object()) << r.out;
            EXPECT_EQ(line.size(), expected.size());
        }
    }
    EXPECT_EQ(ctl({"check", "--json-lines", "--json", sim.address(2)}).exitCode, 2);
}

// The desktop program's window holds 128 printers; the tool's fleet work
// covers every queue.
TEST_F(FleetCli, AllCoversMoreQueuesThanTheWindowHolds) {
    if (!test::CupsdProcess::available())
        GTEST_SKIP() << "cupsd is not installed";
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "4.00"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    test::CupsdProcess cupsd;
    ASSERT_TRUE(cupsd.started()) << cupsd.error();
    constexpr int kQueues = 130;
    for (int i = 0; i < kQueues; ++i) {
        // One printer, a data port each: every queue is a port of its own.
        ASSERT_TRUE(cupsd.addQueue("q" + std::to_string(1000 + i),
                                   "socket://" + sim.address(0) + ":" + std::to_string(9100 + i)))
            << cupsd.error();
    }
    auto r = ctl({"check", "--all", "--json"}, cupsd.toolEnvironment());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto rows = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(rows.is_array()) << r.out;
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(kQueues));
    EXPECT_EQ(rows.back()["name"], "q" + std::to_string(1000 + kQueues - 1));
}

TEST_F(FleetCli, AllFailsWhenTheSpoolerCannotBeAsked) {
    for (const char* command : {"check", "upgrade"}) {
        auto r = ctl({command, "--all"}, {{"CUPS_SERVER", dir_ + "/no-spooler.sock"}});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_NE(r.err.find("cannot be asked"), std::string::npos) << r.err;
    }
}

// The first Ctrl-C cancels every transfer of the fleet at once, at real
// time, while the printers still take the files.
TEST_F(FleetCli, InterruptCancelsEveryTransfer) {
    const std::string package = dir_ + "/package";
    std::filesystem::create_directories(package);
    std::filesystem::copy(test::examplePackageDir() + "/firmware.ini", package);
    test::firmwareFile(package + "/m4000_400.fmw", "Meridot-4000", "4.00", 4 << 20);
    std::string config;
    for (int n = 1; n <= 3; ++n)
        config += test::simPrinter(n, "Meridot-4000", "3.10", "data = slow:20000\n");
    test::SimProcess sim(config);
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string log = dir_ + "/stderr";
    pid_t pid = test::spawn({test::ctlPath(), "upgrade", sim.address(0), sim.address(1),
                             sim.address(2), "--yes", "--package", package},
                            log, -1, {"LANG=C", "LC_ALL=", "UPKEEP_HISTORY=" + history()});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const auto start = std::chrono::steady_clock::now();
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string out = test::readFile(log);
    for (int n = 0; n < 3; ++n)
        EXPECT_NE(out.find(sim.address(n) + " "), std::string::npos) << out;
    EXPECT_NE(out.find("canceled"), std::string::npos) << out;
    EXPECT_FALSE(sim.waitForLine("applied", std::chrono::milliseconds(300)));
}

}  // namespace
}  // namespace upkeep
