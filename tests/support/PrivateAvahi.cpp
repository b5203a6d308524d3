#include "support/PrivateAvahi.h"

#include "support/ChildProcess.h"
#include "support/CommandRunner.h"
#include "support/Paths.h"

namespace upkeep::test {
namespace {

constexpr int kSkip = 77;  // the script's "cannot run here"

std::string script() {
    return sourceDir() + "/tests/support/private-avahi.sh";
}

}  // namespace

PrivateAvahi::PrivateAvahi() : dir_(makeTempDir("avahi")) {
    if (dir_.empty()) {
        error_ = "no temporary directory";
        return;
    }
    CommandResult result = runCommand({"/bin/bash", script(), "start", dir_});
    if (result.exitCode == kSkip) {
        skipped_ = true;
        error_ = result.err;
        return;
    }
    const std::string key = "export DBUS_SYSTEM_BUS_ADDRESS=";
    std::size_t at = result.out.find(key);
    if (result.exitCode != 0 || at == std::string::npos) {
        error_ = "private-avahi.sh start: " + result.err;
        return;
    }
    std::size_t end = result.out.find('\n', at);
    bus_ = result.out.substr(at + key.size(), end - at - key.size());
    started_ = true;
}

PrivateAvahi::~PrivateAvahi() {
    if (!dir_.empty()) {
        runCommand({"/bin/bash", script(), "stop", dir_});
        removeTree(dir_);
    }
}

bool PrivateAvahi::run(const std::vector<std::string>& args,
                       const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<std::string> argv = {"/bin/bash", script()};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandResult result = runCommand(argv, env);
    if (result.exitCode != 0)
        error_ = args.front() + ": " + result.err;
    return result.exitCode == 0;
}

bool PrivateAvahi::publishAddress(const std::string& host, const std::string& address) {
    return run({"publish-address", dir_, host, address});
}

bool PrivateAvahi::publishService(const std::string& name, const std::string& type, int port,
                                  const std::string& host) {
    return run({"publish", dir_, name, type, std::to_string(port)}, {{"AVR_SERVICE_HOST", host}});
}

}  // namespace upkeep::test
