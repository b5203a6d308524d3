#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

extern char** environ;

namespace upkeep::test {

using SteadyClock = std::chrono::steady_clock;

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
