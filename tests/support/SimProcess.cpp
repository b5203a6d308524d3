#include "support/SimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "support/Paths.h"

namespace upkeep::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAttempts = 8;

std::string makeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/upkeep-sim-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

int highestPlaceholder(const std::string& text) {
    int highest = 0;
    for (int k = 1; k <= 250; ++k) {
        if (text.find("@ADDR" + std::to_string(k) + "@") != std::string::npos)
            highest = k;
    }
    return highest;
}

std::vector<std::string> randomAddresses(int count) {
    static std::mutex seedMutex;
    static std::mt19937 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), static_cast<unsigned>(::getpid()),
                           static_cast<unsigned>(Clock::now().time_since_epoch().count())};
        return std::mt19937(seed);
    }();
    std::lock_guard lock(seedMutex);
    std::uniform_int_distribution<int> x(10, 250);
    std::uniform_int_distribution<int> y(1, 254);
    std::set<std::string> seen;
    std::vector<std::string> out;
    while (static_cast<int>(out.size()) < count) {
        std::string address =
            "127.0." + std::to_string(x(engine)) + "." + std::to_string(y(engine));
        if (seen.insert(address).second)
            out.push_back(address);
    }
    return out;
}

std::string substitute(std::string text, const std::vector<std::string>& addresses) {
    // Highest first, so that @ADDR1@ never eats part of @ADDR12@.
    for (std::size_t k = addresses.size(); k >= 1; --k) {
        const std::string placeholder = "@ADDR" + std::to_string(k) + "@";
        for (std::size_t pos = text.find(placeholder); pos != std::string::npos;
             pos = text.find(placeholder, pos))
            text.replace(pos, placeholder.size(), addresses[k - 1]);
    }
    return text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

SimProcess::SimProcess(std::string configText) : SimProcess(std::move(configText), Options{}) {}

SimProcess::SimProcess(std::string configText, Options options) {
    if (simPath().empty()) {
        error_ = "printer-sim was not built";
        return;
    }
    tempDir_ = makeTempDir();
    if (tempDir_.empty()) {
        error_ = std::string("cannot make a temporary directory: ") + std::strerror(errno);
        return;
    }
    recordDir_ = tempDir_ + "/records";
    ::mkdir(recordDir_.c_str(), 0755);
    std::string everything = configText;
    for (const std::string& argument : options.arguments)
        everything += "\n" + argument;
    const int placeholders = highestPlaceholder(everything);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const auto addresses = randomAddresses(placeholders);
        const std::string text =
            "record-dir = " + recordDir_ + "\n" + substitute(configText, addresses);
        Options substituted = options;
        for (std::string& argument : substituted.arguments)
            argument = substitute(argument, addresses);
        const StartResult result = startOnce(text, substituted);
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
        const std::string errors = errorOutput();
        if (status != 0 || errors.find("Sanitizer") != std::string::npos ||
            errors.find("runtime error") != std::string::npos)
            ADD_FAILURE() << "printer-sim ended with status " << status << ": " << errors;
    }
    if (!tempDir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(tempDir_, ignored);
    }
}

SimProcess::StartResult SimProcess::startOnce(const std::string& configText,
                                              const Options& options) {
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
    std::vector<std::string> args = {simPath(), "--config", configPath};
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return StartResult::Failed;
    }
    const int errorFd = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(pipeFds[1], 1);
        if (errorFd >= 0)
            ::dup2(errorFd, 2);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive a crashed test
        if (::getppid() != parent)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (errorFd >= 0)
        ::close(errorFd);
    if (pid < 0) {
        ::close(pipeFds[0]);
        error_ = std::string("fork: ") + std::strerror(errno);
        return StartResult::Failed;
    }
    pid_ = pid;
    exitStatus_ = -1;
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
        const auto deadline = Clock::now() + options.readyLimit;
        changed_.wait_until(lock, deadline, [&] {
            for (const std::string& line : lines_)
                sawReady = sawReady || line == "ready";
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
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        exitStatus_ = reap(false);
        if (exitStatus_ == -2) {
            ::kill(pid_, SIGKILL);
            exitStatus_ = reap(true);
        }
        pid_ = -1;
    }
    if (reader_.joinable())
        reader_.join();
    return exitStatus_;
}

int SimProcess::reap(bool force) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (true) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, force ? 0 : WNOHANG);
        if (done == pid_)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR)
            return -1;
        if (!force && Clock::now() > deadline)
            return -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string SimProcess::address(std::size_t index) const {
    return index < printers_.size() ? printers_[index].address : std::string();
}

std::string SimProcess::ptyPath(std::size_t index) const {
    return index < printers_.size() ? printers_[index].pty : std::string();
}

std::string SimProcess::recordPath(std::size_t index, int connection) const {
    return recordDir_ + "/" + address(index) + "-" + std::to_string(connection) + ".bin";
}

std::string SimProcess::record(std::size_t index, int connection) const {
    return readFile(recordPath(index, connection));
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

std::vector<std::string> SimProcess::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::string SimProcess::errorOutput() const {
    return tempDir_.empty() ? std::string() : readFile(tempDir_ + "/stderr.txt");
}

}  // namespace upkeep::test
