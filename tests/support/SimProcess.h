#pragma once
// Starts printer-sim for one test and stops it when the test is done.
//
//   upkeep::test::SimProcess sim(R"(
//   [printer]
//   address = @ADDR1@
//   model = Meridot 4000
//   version = 1.20
//   subsystem = Cutter X | 2.1
//   pty = yes
//   )");
//   ASSERT_TRUE(sim.ok()) << sim.error();
//   std::string address = sim.address(0);     // e.g. "127.0.37.12"
//   std::string device = sim.ptyPath(0);      // the pty, when `pty = yes`
//   ... talk to the printer ...
//   auto line = sim.waitForLine("applied " + sim.address(0));
//   std::string bytes = sim.record(0, 1);      // what connection 1 carried
//
// The config text is printer-sim's own (sim/README.md lists every key).
// @ADDR1@, @ADDR2@, ... stand for loopback addresses that SimProcess picks
// at random in 127.0.10-250.x, so that tests running in parallel do not
// meet; it tries again with other addresses when one is taken. It adds
// `record-dir` itself (a fresh temporary directory, removed afterwards).
// Printers are numbered by their order in the config, from 0.
//
// Lines worth waiting for (sim/README.md has them all):
//   received ADDRESS N BYTES        data connection N (from 1) ended; its
//                                   record file is complete from then on
//   applied ADDRESS MODEL VERSION   a download was taken on
//   rejected ADDRESS REASON         a download changed nothing
//   profile ADDRESS BYTES answered ANSWER
//
// The destructor stops the simulator (SIGTERM) and waits for it; a test
// fails when a simulator that was ready does not end with status 0 or left
// a sanitizer report.
// Make it on the thread that keeps it: the simulator is told to stop when
// the thread that started it ends (so it never outlives a crashed test).

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace upkeep::test {

class SimProcess {
  public:
    struct Options {
        // Extra command-line arguments for printer-sim (placeholders work
        // here too: {"--address", "@ADDR1@", "--model", "M"}).
        std::vector<std::string> arguments;
        // Real time allowed for the simulator to print "ready".
        std::chrono::milliseconds readyLimit{5000};
    };

    explicit SimProcess(std::string configText);
    SimProcess(std::string configText, Options options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True once the simulator printed "ready"; otherwise error() says why.
    bool ok() const { return ready_; }
    const std::string& error() const { return error_; }

    std::size_t printerCount() const { return printers_.size(); }
    // The address of printer `index` (config order); empty when out of range.
    std::string address(std::size_t index) const;
    // Its pty's slave path, empty when it has none.
    std::string ptyPath(std::size_t index) const;

    // The directory where each data connection's bytes are recorded, and
    // the file of connection `connection` (numbered from 1 per printer).
    const std::string& recordDir() const { return recordDir_; }
    std::string recordPath(std::size_t index, int connection) const;
    // The bytes of that file; empty when it does not exist.
    std::string record(std::size_t index, int connection) const;

    // Waits (real time) for a stdout line starting with `prefix` that no
    // earlier waitForLine returned; each line is handed out once, so two
    // downloads can wait for two "applied ..." lines. nullopt on time-out.
    std::optional<std::string> waitForLine(
        std::string_view prefix, std::chrono::milliseconds limit = std::chrono::milliseconds(3000));
    // Every stdout line so far.
    std::vector<std::string> lines() const;
    // What the simulator wrote on stderr so far.
    std::string errorOutput() const;

    // SIGTERM, then wait (SIGKILL after 5 s). Returns the exit status, or
    // -1 when it did not exit normally. Called by the destructor.
    int stop();

  private:
    struct PrinterInfo {
        std::string address;
        std::string pty;
    };
    enum class StartResult { Ready, AddressTaken, Failed };

    StartResult startOnce(const std::string& configText, const Options& options);
    void readOutput(int fd);
    int reap(bool force);

    std::string tempDir_;
    std::string recordDir_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
    bool ready_ = false;
    std::string error_;
    std::vector<PrinterInfo> printers_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    std::vector<bool> taken_;
    bool outputClosed_ = false;
    std::thread reader_;
};

}  // namespace upkeep::test
