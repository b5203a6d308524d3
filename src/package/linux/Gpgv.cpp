// gpgv started with posix_spawn; the list handed over as /dev/fd/4.
#include "package/Gpgv.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/UniqueFd.h"

extern char** environ;

namespace upkeep {

GpgvRun runGpgvProcess(const std::string& signature, int listFd,
                       const std::vector<std::string>& keyrings, std::size_t statusLimit) {
    GpgvRun failed;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        failed.problem = "gpgv could not be started";
        return failed;
    }
    platform::UniqueFd readEnd(ends[0]);
    platform::UniqueFd writeEnd(ends[1]);
    static constexpr int kStatusFd = 3;
    static constexpr int kListFd = 4;
    // Both kept above the child's descriptors 3 and 4, since dup2 of a
    // descriptor onto itself would leave it closed on exec.
    writeEnd.reset(::fcntl(writeEnd.get(), F_DUPFD_CLOEXEC, 10));
    platform::UniqueFd listEnd(::fcntl(listFd, F_DUPFD_CLOEXEC, 10));
    if (!writeEnd.valid() || !listEnd.valid()) {
        failed.problem = "gpgv could not be started";
        return failed;
    }

    std::vector<std::string> args = {"gpgv", "--status-fd", std::to_string(kStatusFd)};
    for (const std::string& keyring : keyrings) {
        args.push_back("--keyring");
        args.push_back(keyring);
    }
    args.push_back("--");
    args.push_back(signature);
    args.push_back("/dev/fd/" + std::to_string(kListFd));
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), kStatusFd);
    posix_spawn_file_actions_adddup2(&actions, listEnd.get(), kListFd);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, "gpgv", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();
    listEnd.reset();
    if (spawned != 0) {
        failed.problem = "gpgv could not be started";
        return failed;
    }
    std::string status;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (status.size() < statusLimit)
            status.append(buffer, static_cast<std::size_t>(n));
    }
    readEnd.reset();
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    const int exitCode = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    if (exitCode == 127) {
        failed.problem = "gpgv could not be started";
        return failed;
    }
    return GpgvRun{true, {}, std::move(status), exitCode};
}

}  // namespace upkeep
