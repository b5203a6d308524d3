#include "support/SimProcess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/Paths.h"

namespace upkeep::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAttempts = 8;
constexpr auto kReadyLimit = std::chrono::seconds(5);

int highestPlaceholder(const std::string& text, const std::string& kind) {
    int highest = 0;
    for (int k = 1; k <= 250; ++k) {
        if (text.find("@" + kind + std::to_string(k) + "@") != std::string::npos)
            highest = k;
    }
    return highest;
}

std::string randomPort() {
    static std::mutex mutex;
    static std::mt19937 rng(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
    std::lock_guard lock(mutex);
    return std::to_string(std::uniform_int_distribution<int>(20000, 59999)(rng));
}

// `count` different values from `draw`.
std::vector<std::string> distinct(int count, std::string (*draw)()) {
    std::set<std::string> seen;
    std::vector<std::string> out;
    while (static_cast<int>(out.size()) < count) {
        if (std::string value = draw(); seen.insert(value).second)
            out.push_back(value);
    }
    return out;
}

std::string substitute(std::string text, const std::string& kind,
                       const std::vector<std::string>& values) {
    // Highest first, so that @ADDR1@ never eats part of @ADDR12@.
    for (std::size_t k = values.size(); k >= 1; --k) {
        const std::string placeholder = "@" + kind + std::to_string(k) + "@";
        for (std::size_t pos = text.find(placeholder); pos != std::string::npos;
             pos = text.find(placeholder, pos))
            text.replace(pos, placeholder.size(), values[k - 1]);
    }
    return text;
}

}  // namespace

SimProcess::SimProcess(std::string configText) {
    if (simPath().empty()) {
        error_ = "printer-sim was not built";
        return;
    }
    tempDir_ = makeTempDir("sim");
    if (tempDir_.empty()) {
        error_ = std::string("cannot make a temporary directory: ") + std::strerror(errno);
        return;
    }
    recordDir_ = tempDir_ + "/records";
    ::mkdir(recordDir_.c_str(), 0755);
    const int addresses = highestPlaceholder(configText, "ADDR");
    const int ports = highestPlaceholder(configText, "PORT");
    const int placeholders = addresses + ports;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string text =
            "record-dir = " + recordDir_ + "\n" +
            substitute(substitute(configText, "ADDR", distinct(addresses, randomLoopbackAddress)),
                       "PORT", distinct(ports, randomPort));
        const StartResult result = startOnce(text);
        if (result == StartResult::Ready) {
            ready_ = true;
            error_.clear();
            return;
        }
        if (result == StartResult::Failed || placeholders == 0)
            return;
    }
}

SimProcess::~SimProcess() {
    const int status = stop();
    if (ready_) {
        // A simulator that ran must end cleanly: anything else is a fault
        // in it (a crash, a sanitizer report) that a test would not notice.
        const std::string errors = readFile(tempDir_ + "/stderr.txt");
        if (status != 0 || errors.find("Sanitizer") != std::string::npos ||
            errors.find("runtime error") != std::string::npos)
            ADD_FAILURE() << "printer-sim ended with status " << status << ": " << errors;
    }
    removeTree(tempDir_);
}

SimProcess::StartResult SimProcess::startOnce(const std::string& configText) {
    const std::string configPath = tempDir_ + "/sim.conf";
    const std::string errorPath = tempDir_ + "/stderr.txt";
    {
        std::ofstream out(configPath, std::ios::trunc);
        out << configText;
        if (!out) {
            error_ = "cannot write " + configPath;
            return StartResult::Failed;
        }
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return StartResult::Failed;
    }
    const pid_t pid = spawn({simPath(), "--config", configPath}, errorPath, pipeFds[1]);
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        error_ = std::string("fork: ") + std::strerror(errno);
        return StartResult::Failed;
    }
    pid_ = pid;
    {
        std::lock_guard lock(mutex_);
        lines_.clear();
        taken_.clear();
        outputClosed_ = false;
    }
    reader_ = std::thread([this, fd = pipeFds[0]] { readOutput(fd); });

    bool sawReady = false;
    {
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, Clock::now() + kReadyLimit, [&] {
            sawReady = std::find(lines_.begin(), lines_.end(), "ready") != lines_.end();
            return sawReady || outputClosed_;
        });
        if (sawReady) {
            printers_.clear();
            for (const std::string& line : lines_) {
                std::istringstream words(line);
                std::string word;
                PrinterInfo info;
                words >> word;
                if (word != "printer")
                    continue;
                words >> info.address;
                while (words >> word) {
                    if (word == "pty")
                        words >> info.pty;
                    if (word == "data" && words >> word && word.rfind("tcp/", 0) == 0)
                        info.dataPort = word.substr(4);
                }
                printers_.push_back(info);
            }
            return StartResult::Ready;
        }
    }
    const int status = stop();
    const std::string errors = readFile(errorPath);
    if (status == 3) {
        error_ = "addresses taken: " + errors;
        return StartResult::AddressTaken;
    }
    error_ = "printer-sim did not start (exit status " + std::to_string(status) + "): " + errors;
    return StartResult::Failed;
}

void SimProcess::readOutput(int fd) {
    std::string partial;
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        partial.append(buffer, static_cast<std::size_t>(n));
        std::size_t start = 0;
        std::lock_guard lock(mutex_);
        for (std::size_t lf; (lf = partial.find('\n', start)) != std::string::npos;
             start = lf + 1) {
            lines_.push_back(partial.substr(start, lf - start));
            taken_.push_back(false);
        }
        partial.erase(0, start);
        changed_.notify_all();
    }
    ::close(fd);
    std::lock_guard lock(mutex_);
    outputClosed_ = true;
    changed_.notify_all();
}

int SimProcess::stop() {
    const int status = stopProcess(pid_);
    if (reader_.joinable())
        reader_.join();
    return status;
}

std::string SimProcess::address(std::size_t index) const {
    return index < printers_.size() ? printers_[index].address : std::string();
}

std::string SimProcess::dataPort(std::size_t index) const {
    return index < printers_.size() ? printers_[index].dataPort : std::string();
}

std::string SimProcess::ptyPath(std::size_t index) const {
    return index < printers_.size() ? printers_[index].pty : std::string();
}

std::string SimProcess::record(std::size_t index, int connection) const {
    return readFile(recordDir_ + "/" + address(index) + "-" + std::to_string(connection) + ".bin");
}

std::optional<std::string> SimProcess::waitForLine(std::string_view prefix,
                                                   std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    std::optional<std::string> found;
    changed_.wait_until(lock, Clock::now() + limit, [&] {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (!taken_[i] && lines_[i].compare(0, prefix.size(), prefix) == 0) {
                taken_[i] = true;
                found = lines_[i];
                return true;
            }
        }
        return outputClosed_;
    });
    return found;
}

}  // namespace upkeep::test
