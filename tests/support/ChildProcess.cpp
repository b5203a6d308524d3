#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <thread>

extern char** environ;

namespace upkeep::test {

using SteadyClock = std::chrono::steady_clock;

std::string makeTempDir(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base && *base ? base : "/tmp") + "/upkeep-" + name + "-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string randomLoopbackAddress() {
    static std::mutex mutex;
    static std::mt19937 rng(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
    std::lock_guard lock(mutex);
    std::uniform_int_distribution<int> x(10, 250), y(2, 254);
    return "127.0." + std::to_string(x(rng)) + "." + std::to_string(y(rng));
}

pid_t spawn(const std::vector<std::string>& argv, const std::string& logPath, int stdoutFd,
            const std::vector<std::string>& extraEnv) {
    std::vector<std::string> args = argv, env = extraEnv;
    std::vector<char*> av, ev;
    for (std::string& a : args)
        av.push_back(a.data());
    av.push_back(nullptr);
    for (std::string& e : env)
        ev.push_back(e.data());
    for (char** e = environ; *e; ++e)
        ev.push_back(*e);  // after the extras, which getenv finds first
    ev.push_back(nullptr);
    const int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(nullFd, 0);
        ::dup2(stdoutFd >= 0 ? stdoutFd : logFd, 1);
        ::dup2(logFd, 2);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(126);
        ::execve(av[0], av.data(), ev.data());
        ::_exit(127);
    }
    for (int fd : {logFd, nullFd})
        if (fd >= 0)
            ::close(fd);
    return pid;
}

bool waitUntilReady(pid_t& pid, const std::function<bool()>& ready,
                    std::chrono::milliseconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    while (SteadyClock::now() < deadline) {
        if (ready())
            return true;
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int stopProcess(pid_t& pid) {
    if (pid <= 0)
        return -1;
    ::kill(pid, SIGTERM);
    const auto deadline = SteadyClock::now() + std::chrono::seconds(5);
    int status = 0;
    pid_t done;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 || (done < 0 && errno == EINTR)) {
        if (SteadyClock::now() > deadline) {
            ::kill(pid, SIGKILL);
            while ((done = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    pid = -1;
    return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace upkeep::test
