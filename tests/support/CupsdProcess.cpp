#include "support/CupsdProcess.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/CommandRunner.h"

namespace upkeep::test {
namespace {

const char* kCupsd = "/usr/sbin/cupsd";
const char* kLpadmin = "/usr/sbin/lpadmin";
const char* kServerBin = "/usr/lib/cups";

bool accepts(const std::string& path) {
    platform::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (!fd.valid() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

bool CupsdProcess::available() {
    return ::access(kCupsd, X_OK) == 0 && ::access(kLpadmin, X_OK) == 0;
}

CupsdProcess::CupsdProcess() {
    if (!available()) {
        error_ = "cupsd is not installed";
        return;
    }
    dir_ = makeTempDir("cupsd");
    if (dir_.empty()) {
        error_ = "no temporary directory";
        return;
    }
    socket_ = dir_ + "/cups.sock";
    for (const char* sub : {"spool", "cache", "state", "log", "bin", "bin/backend"})
        std::filesystem::create_directory(dir_ + "/" + sub);
    {
        // A server directory of its own: the system's programs, and beside
        // its backends stubs of a maker's own ("mvend"), so that lpadmin
        // takes queues on their URIs; no job is ever printed.
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(kServerBin, ignored)) {
            const std::string name = entry.path().filename().string();
            if (name != "backend")
                std::filesystem::create_symlink(entry.path(), dir_ + "/bin/" + name, ignored);
        }
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(kServerBin) + "/backend", ignored))
            std::filesystem::create_symlink(
                entry.path(), dir_ + "/bin/backend/" + entry.path().filename().string(), ignored);
        const std::string stub = dir_ + "/bin/backend/mvend";
        std::ofstream(stub) << "#!/bin/sh\nexit 0\n";
        std::filesystem::permissions(stub, std::filesystem::perms(0755), ignored);
    }
    {
        // Only the socket: no network listener, no browsing, no sharing.
        std::ofstream conf(dir_ + "/cupsd.conf");
        conf << "Listen " << socket_ << "\n"
             << "Browsing No\n"
             << "BrowseLocalProtocols none\n"
             << "DefaultShared No\n"
             << "WebInterface No\n"
             << "LogLevel warn\n"
             << "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
             << "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
        std::ofstream files(dir_ + "/cups-files.conf");
        files << "ServerRoot " << dir_ << "\n"
              << "ServerBin " << dir_ << "/bin\n"
              << "RequestRoot " << dir_ << "/spool\n"
              << "TempDir " << dir_ << "/spool\n"
              << "CacheDir " << dir_ << "/cache\n"
              << "StateDir " << dir_ << "/state\n"
              << "ErrorLog " << dir_ << "/log/error_log\n"
              << "AccessLog " << dir_ << "/log/access_log\n"
              << "PageLog " << dir_ << "/log/page_log\n";
    }
    const std::string log = dir_ + "/log/cupsd.out";
    pid_ = spawn({kCupsd, "-f", "-c", dir_ + "/cupsd.conf", "-s", dir_ + "/cups-files.conf"}, log);
    if (pid_ < 0) {
        error_ = "fork failed";
        return;
    }
    started_ = waitUntilReady(pid_, [&] { return accepts(socket_); });
    if (!started_)
        error_ = (pid_ < 0 ? "cupsd ended: " + readFile(log) : "cupsd did not open its socket: ") +
                 readFile(dir_ + "/log/error_log");
}

CupsdProcess::~CupsdProcess() {
    stop();
    removeTree(dir_);
}

void CupsdProcess::stop() {
    stopProcess(pid_);
    started_ = false;
}

bool CupsdProcess::addQueue(const std::string& name, const std::string& uri,
                            const std::string& model) {
    std::vector<std::string> argv = {kLpadmin, "-p", name, "-E", "-v", uri};
    if (!model.empty()) {
        argv.push_back("-m");
        argv.push_back(model);
    }
    CommandResult result = runCommand(argv, {{"CUPS_SERVER", socket_}});
    if (result.exitCode != 0) {
        error_ = "lpadmin " + name + ": " + result.err;
        return false;
    }
    return true;
}

bool CupsdProcess::addToClass(const std::string& queue, const std::string& className) {
    CommandResult result =
        runCommand({kLpadmin, "-p", queue, "-c", className}, {{"CUPS_SERVER", socket_}});
    if (result.exitCode != 0) {
        error_ = "lpadmin -c " + className + ": " + result.err;
        return false;
    }
    return true;
}

}  // namespace upkeep::test
