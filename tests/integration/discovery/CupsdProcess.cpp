#include "integration/discovery/CupsdProcess.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/UniqueFd.h"
#include "support/CommandRunner.h"

namespace upkeep::test {
namespace {

const char* kCupsd = "/usr/sbin/cupsd";
const char* kLpadmin = "/usr/sbin/lpadmin";

bool accepts(const std::string& path) {
    platform::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (!fd.valid() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    char pattern[] = "/tmp/upkeep-cupsd-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        error_ = "no temporary directory";
        return;
    }
    dir_ = pattern;
    socket_ = dir_ + "/cups.sock";
    for (const char* sub : {"spool", "cache", "state", "log"})
        std::filesystem::create_directory(dir_ + "/" + sub);
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
              << "RequestRoot " << dir_ << "/spool\n"
              << "TempDir " << dir_ << "/spool\n"
              << "CacheDir " << dir_ << "/cache\n"
              << "StateDir " << dir_ << "/state\n"
              << "ErrorLog " << dir_ << "/log/error_log\n"
              << "AccessLog " << dir_ << "/log/access_log\n"
              << "PageLog " << dir_ << "/log/page_log\n";
    }
    std::string conf = dir_ + "/cupsd.conf";
    std::string files = dir_ + "/cups-files.conf";
    std::string log = dir_ + "/log/cupsd.out";
    pid_ = ::fork();
    if (pid_ == 0) {
        std::freopen("/dev/null", "r", stdin);
        std::freopen(log.c_str(), "w", stdout);
        std::freopen(log.c_str(), "a", stderr);
        ::execl(kCupsd, "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0) {
        error_ = "fork failed";
        return;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        if (accepts(socket_)) {
            started_ = true;
            return;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = "cupsd ended: " + readFile(log) + readFile(dir_ + "/log/error_log");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    error_ = "cupsd did not open its socket: " + readFile(dir_ + "/log/error_log");
}

CupsdProcess::~CupsdProcess() {
    stop();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

void CupsdProcess::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
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

ScopedCupsServer::ScopedCupsServer(const std::string& server) {
    if (const char* value = std::getenv("CUPS_SERVER")) {
        had_ = true;
        previous_ = value;
    }
    ::setenv("CUPS_SERVER", server.c_str(), 1);
}

ScopedCupsServer::~ScopedCupsServer() {
    if (had_)
        ::setenv("CUPS_SERVER", previous_.c_str(), 1);
    else
        ::unsetenv("CUPS_SERVER");
}

}  // namespace upkeep::test
