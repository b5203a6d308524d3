#pragma once
// Starts printer-sim for one test and stops it when the test is done.
//
//   upkeep::test::SimProcess sim("[printer]\naddress = @ADDR1@\nmodel = M\npty = yes\n");
//   ASSERT_TRUE(sim.ok()) << sim.error();
//   then sim.address(0), sim.ptyPath(0), sim.waitForLine("applied ..."),
//   sim.record(0, 1) (what data connection 1 carried).
//
// The config text is printer-sim's own (sim/README.md lists every key).
// @ADDR1@, @ADDR2@, ... stand for loopback addresses that SimProcess picks
// at random in 127.0.10-250.x, so that tests running in parallel do not
// meet; @PORT1@, @PORT2@, ... stand for random ports (for printers on ::1,
// which all tests share). It tries again with others when one is taken. It adds
// `record-dir` itself (a fresh temporary directory, removed afterwards).
// Printers are numbered by their order in the config, from 0.
//
// sim/README.md lists the lines worth waiting for ("received", "applied",
// "rejected", "profile").
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
    explicit SimProcess(std::string configText);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True once the simulator printed "ready"; otherwise error() says why.
    bool ok() const { return ready_; }
    const std::string& error() const { return error_; }

    // The address of printer `index` (config order); empty when out of range.
    std::string address(std::size_t index) const;
    // Its data port ("9100").
    std::string dataPort(std::size_t index) const;
    // Its pty's slave path, empty when it has none.
    std::string ptyPath(std::size_t index) const;

    // The bytes data connection `connection` (numbered from 1 per printer)
    // carried; empty when there was none.
    std::string record(std::size_t index, int connection) const;

    // Waits (real time) for a stdout line starting with `prefix` that no
    // earlier waitForLine returned; each line is handed out once, so two
    // downloads can wait for two "applied ..." lines. nullopt on time-out.
    std::optional<std::string> waitForLine(
        std::string_view prefix, std::chrono::milliseconds limit = std::chrono::milliseconds(3000));

  private:
    struct PrinterInfo {
        std::string address;
        std::string dataPort;
        std::string pty;
    };
    enum class StartResult { Ready, AddressTaken, Failed };

    StartResult startOnce(const std::string& configText);
    void readOutput(int fd);
    int stop();

    std::string tempDir_;
    std::string recordDir_;
    pid_t pid_ = -1;
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
