#include "support/CommandRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "support/ChildProcess.h"
#include "support/Paths.h"

namespace upkeep::test {

CommandResult runCommand(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env) {
    CommandResult result;
    const std::string dir = makeTempDir("run");
    int out[2];
    if (dir.empty() || ::pipe2(out, O_CLOEXEC) != 0)
        return result;
    // The child finds the first of equal names: a later setting wins.
    std::vector<std::string> extraEnv;
    for (auto it = env.rbegin(); it != env.rend(); ++it)
        extraEnv.push_back(it->first + "=" + it->second);
    // Standard error goes to a file, so that neither pipe can fill while the other is read.
    const pid_t pid = spawn(argv, dir + "/stderr", out[1], extraEnv);
    ::close(out[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            result.out.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    }
    ::close(out[0]);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (pid > 0 && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.err = readFile(dir + "/stderr");
    removeTree(dir);
    return result;
}

CommandResult runCtl(std::vector<std::string> args,
                     std::vector<std::pair<std::string, std::string>> env) {
    args.insert(args.begin(), ctlPath());
    env.insert(env.begin(), {{"UPKEEP_TIME_SCALE", "0.01"}, {"LANG", "C"}, {"LC_ALL", ""}});
    return runCommand(args, env);
}

}  // namespace upkeep::test
