#pragma once
// What the upkeepctl tests share: a directory of the test's own, the tool
// run with the sample package, and a run started in the background and
// ended by a signal.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#include "support/ChildProcess.h"
#include "support/CommandRunner.h"
#include "support/Paths.h"

namespace upkeep::test {

using ::testing::HasSubstr;
using Env = std::vector<std::pair<std::string, std::string>>;

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = makeTempDir("cli"); }
    void TearDown() override { removeTree(dir_); }

    // With the sample package unless another is named, the test's own
    // history, and downloads confirmed, as a script must.
    CommandResult ctl(std::vector<std::string> args, Env env = {}) const {
        if (args[0] != "history" && std::ranges::find(args, "--package") == args.end())
            args.insert(args.end(), {"--package", examplePackageDir()});
        if (args[0] == "upgrade" || args[0] == "downgrade" || args[0] == "send")
            args.push_back("--yes");
        env.insert(env.begin(), {"UPKEEP_HISTORY", history()});
        return runCtl(args, env);
    }
    std::string history() const { return dir_ + "/history.jsonl"; }

    // upkeepctl at real time in the background, its standard error in
    // log(); -1 when it could not start.
    pid_t start(std::vector<std::string> args, std::vector<std::string> env = {}) const {
        args.insert(args.begin(), ctlPath());
        env.insert(env.begin(), {"LANG=C", "LC_ALL=", "UPKEEP_HISTORY=" + history()});
        return spawn(args, log(), -1, env);
    }
    std::string log() const { return dir_ + "/stderr"; }

    struct Ended {
        int status = -1;
        std::chrono::steady_clock::duration took{};
    };
    // Sends the signals, apart (the kernel may merge two pending ones into
    // one), and waits for the end: its status and how long it took.
    static Ended end(pid_t pid, const std::vector<int>& signals) {
        Ended ended;
        if (pid <= 0)
            return ended;
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < signals.size(); ++i) {
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::kill(pid, signals[i]);
        }
        if (::waitpid(pid, &ended.status, 0) != pid)
            ended.status = -1;
        ended.took = std::chrono::steady_clock::now() - start;
        return ended;
    }

    std::string dir_;
};

// A file of tests/fixtures/cli with each @ADDRn@ in it replaced by the
// address of printer n, as in the simulator's configuration.
inline std::string fixture(const std::string& name, const std::vector<std::string>& addresses) {
    std::string text = readFile(sourceDir() + "/tests/fixtures/cli/" + name);
    for (std::size_t n = 1; n <= addresses.size(); ++n) {
        const std::string placeholder = "@ADDR" + std::to_string(n) + "@";
        for (std::size_t at; (at = text.find(placeholder)) != std::string::npos;)
            text.replace(at, placeholder.size(), addresses[n - 1]);
    }
    return text;
}

}  // namespace upkeep::test
