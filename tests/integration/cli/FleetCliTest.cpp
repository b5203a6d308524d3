// upkeepctl upgrade over a fleet of simulated printers, --verify after a
// download, the download history, and --all without a spooler.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "integration/cli/CliTest.h"
#include "integration/sim/SimHelpers.h"
#include "platform/UniqueFd.h"
#include "printer/DownloadHistory.h"
#include "support/CupsdProcess.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

using test::Env;
using test::HasSubstr;
using FleetCli = test::CliTest;

// upkeepctl with standard input (fd 0) or error (fd 2) on a terminal that
// `typed` is typed at, the rest collected; and what the terminal showed.
struct TerminalRun {
    test::CommandResult result;
    std::string shown;
};
TerminalRun onTerminal(int fd, std::vector<std::string> args, const Env& env,
                       const std::string& typed = {}) {
    TerminalRun run;
    const platform::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!master.valid() || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0 ||
        ::write(master.get(), typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
        return run;
    const std::string redirect = (fd == 0 ? " <" : " 2>") + std::string(::ptsname(master.get()));
    args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\"" + redirect, test::ctlPath()});
    run.result = test::runCommand(args, env);
    char buffer[4096];
    for (ssize_t n; (n = ::read(master.get(), buffer, sizeof buffer)) > 0;)
        run.shown.append(buffer, static_cast<std::size_t>(n));
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
                      ? test::simPrinter(n, "Meridot-4000", "3.10",
                                         "subsystem = Finisher-F2 | F2.10\nrestart-ms = 300\n")
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
        {"verified", nullptr, "verified: Meridot-4000 4.00, Finisher-F2 F2.30", 2},
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
        EXPECT_THAT(rows[i]["reason"].get<std::string>(), HasSubstr(e.reason));
        EXPECT_EQ(rows[i]["itemsSent"].size(), e.sent);
    }

    // A queue's name stands for its printer.
    auto byQueue = ctl({"check", queue(0), "--json"}, spooler);
    EXPECT_EQ(byQueue.exitCode, 0) << byQueue.err;
    EXPECT_THAT(byQueue.out, HasSubstr(R"("port": ")" + sim.address(0) + "\""));
    EXPECT_THAT(byQueue.out, HasSubstr(R"("package": "signed")"));

    // Every download is in the history, with how it was verified.
    std::ofstream(history(), std::ios::app) << "damaged line\n";
    auto h = ctl({"history", "--json"});
    ASSERT_EQ(h.exitCode, 0) << h.err;
    EXPECT_THAT(h.err, HasSubstr("skipped"));
    auto lines = nlohmann::json::parse(h.out, nullptr, false);
    // A line a file: fourteen printers took two, the two that refuse one each.
    ASSERT_TRUE(lines.is_array() && lines.size() == 30u) << h.out;
    for (const auto& line : lines) {
        SCOPED_TRACE(line.dump());
        const bool finisher = line["file"].get<std::string>().ends_with("/finf2_230.fmw");
        EXPECT_EQ(line["outcome"], "sent");
        EXPECT_THAT(line["version"].get<std::string>(), ::testing::StartsWith("3.10"));
        EXPECT_EQ(line["operation"], "upgrade");
        EXPECT_EQ(line["targetVersion"], finisher ? "F2.30" : "4.00");
        EXPECT_EQ(line["package"], "signed");
        EXPECT_FALSE(line["user"].get<std::string>().empty());
        EXPECT_FALSE(line["host"].get<std::string>().empty());
    }
    // A printer is found by its queue's name or by its address.
    for (const std::string& printer : {queue(18), sim.address(18)}) {
        auto one = ctl({"history", "--printer", printer});
        EXPECT_EQ(one.exitCode, 0);
        EXPECT_THAT(one.out, HasSubstr("not applied"));
        EXPECT_EQ(one.out.find(queue(0) + " "), std::string::npos) << one.out;
    }

    // The desktop program's window holds 128 printers; the tool's fleet work
    // covers every queue. A data port each: every queue is a port of its own.
    constexpr std::size_t kQueues = 130;
    for (std::size_t i = kinds.size(); i < kQueues; ++i) {
        ASSERT_TRUE(
            cupsd.addQueue(queue(i), "socket://" + sim.address(0) + ":" + std::to_string(9100 + i)))
            << cupsd.error();
    }
    r = ctl({"check", "--all", "--json"}, spooler);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    rows = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(rows.is_array() && rows.size() == kQueues) << r.out;
    EXPECT_EQ(rows.back()["name"], queue(kQueues - 1));
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
        EXPECT_THAT(r.out + r.err, HasSubstr(c.text));
    }
    // Each download shows its verification's outcome, once.
    auto h = ctl({"history", "--json"});
    auto lines = nlohmann::json::parse(h.out, nullptr, false);
    ASSERT_TRUE(lines.is_array() && lines.size() == 5u) << h.out;
    EXPECT_EQ(h.out.find(history::kPending), std::string::npos) << h.out;
    // A history that cannot be written never fails the download.
    auto r = ctl({"send", a, file}, {{"UPKEEP_HISTORY", file + "/history.jsonl"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("warning: cannot write the history file"));
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
        pid_t pid = start({"send", sim.address(0), file, "--verify", "--yes"});
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(sim.waitForLine("received " + sim.address(0) + " 1 "));
        const bool recorded = test::waitUntilReady(
            pid, [&] { return !test::readFile(history()).empty(); }, std::chrono::seconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Ended ended = end(pid, {signal});
        EXPECT_TRUE(recorded) << test::readFile(log());
        if (signal == SIGINT) {
            EXPECT_LT(ended.took, std::chrono::seconds(1));
            EXPECT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 1) << ended.status;
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
    const std::string package = test::examplePackageDir();
    const struct {
        std::vector<std::string> args;
        const char* answer;
        const char* asked;
    } runs[] = {
        {{"upgrade", sim.address(0), "--package", package}, "n\n", "must be idle"},
        {{"send", sim.address(0), package + "/m4000_310.fmw"}, "n\n", "must be idle"},
        {{"upgrade", sim.address(0), "--package", package}, "y\n", "Click Cancel to stop"},
    };
    for (const auto& c : runs) {
        auto run = onTerminal(STDIN_FILENO, c.args, {{"UPKEEP_HISTORY", history()}, {"LANG", "C"}},
                              c.answer);
        const test::CommandResult& r = run.result;
        EXPECT_THAT(r.out + r.err, HasSubstr(c.asked)) << c.args[0];
        EXPECT_THAT(r.out + r.err, HasSubstr("[y/N]"));
        EXPECT_EQ(r.exitCode, c.answer[0] == 'y' ? 0 : 1) << r.out << r.err;
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
    const std::string &table = run.result.out, &shown = run.shown;
    EXPECT_EQ(run.result.exitCode, 0) << shown;
    EXPECT_THAT(shown, HasSubstr("\r\033[K2 of 2 printers answered"));
    EXPECT_TRUE(shown.ends_with("\r\033[K")) << shown;
    EXPECT_EQ(table.find('\033'), std::string::npos) << table;
    EXPECT_THAT(table, HasSubstr("Meridot-4000"));
    // Not on a terminal: nothing but the table.
    auto r = ctl({"check", sim.address(0), sim.address(1)});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

// Catalogue lines the package refuses: a newer version whose file name does
// not fit, and a subsystem object whose number 333 would ask object 77.
TEST_F(FleetCli, RefusedCatalogueLinesNeverMakeAPrinterLookCurrent) {
    const std::string package = test::sourceDir() + "/tests/fixtures/cli/refused-lines";
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-4000", "3.10", "subsystem = Finisher-F2 | F2.10\n") +
        test::simPrinter(2, "Meridot-6100", "1.00"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto r = ctl({"check", "--json", sim.address(0), sim.address(1), "--package", package});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("[SUBSYSTEM] line refused: '1.3.6.1.3.333.2.1.1.0' holds 333"));
    auto rows = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_TRUE(rows.is_array() && rows.size() == 2u) << r.out;
    EXPECT_EQ(rows[0]["state"], "upgradeAvailable");
    EXPECT_EQ(rows[0]["subsystems"].size(), 0u);
    // An optional newest version whose file is not here is not offered.
    EXPECT_EQ(rows[1]["state"], "upToDate");

    r = ctl({"upgrade", sim.address(0), "--package", package});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("newest line for Meridot-4000 (4.00) is not usable"));
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
}

TEST_F(FleetCli, AllFailsWhenTheSpoolerCannotBeAsked) {
    // No scheduler at all, and one that takes the connection and hangs up.
    const std::string hangsUp = dir_ + "/hangs-up.sock";
    platform::UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    ASSERT_LT(hangsUp.size(), sizeof at.sun_path);
    hangsUp.copy(at.sun_path, hangsUp.size());
    ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(listener.get(), 8), 0);
    std::jthread closer([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            pollfd ready{listener.get(), POLLIN, 0};
            if (::poll(&ready, 1, 20) > 0)
                platform::UniqueFd(::accept(listener.get(), nullptr, nullptr));
        }
    });
    for (const std::string& server : {dir_ + "/no-spooler.sock", hangsUp}) {
        for (const char* command : {"check", "upgrade"}) {
            auto r = ctl({command, "--all"}, {{"CUPS_SERVER", server}});
            EXPECT_EQ(r.exitCode, 1) << command << " " << server;
            EXPECT_THAT(r.err, HasSubstr("cannot be asked"));
        }
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
    pid_t pid = start(
        {"upgrade", sim.address(0), sim.address(1), sim.address(2), "--yes", "--package", package});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const Ended ended = end(pid, {SIGINT});
    EXPECT_LT(ended.took, std::chrono::seconds(1));
    ASSERT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 1) << ended.status;
    const std::string out = test::readFile(log());
    for (int n = 0; n < 3; ++n)
        EXPECT_THAT(out, HasSubstr(sim.address(n) + " "));
    EXPECT_THAT(out, HasSubstr("canceled"));
    EXPECT_FALSE(sim.waitForLine("applied", std::chrono::milliseconds(300)));
}

}  // namespace
}  // namespace upkeep
