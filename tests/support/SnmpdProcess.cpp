#include "support/SnmpdProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/UniqueFd.h"

namespace upkeep::test {
namespace {

const char* kSnmpd = "/usr/sbin/snmpd";

std::string hex(const std::string& bytes) {
    std::string out = "0x";
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        out += pair;
    }
    return out;
}

// A GetRequest for sysObjectID-like 1.3.6.1.2.1.1.3.0 is enough to see
// whether the agent is up; any reply (even an error) will do.
bool agentAnswers(const std::string& address, const std::string& community) {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(161);
    inet_pton(AF_INET, address.c_str(), &peer.sin_addr);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0)
        return false;
    std::string c = community;
    std::string pdu =
        std::string("\x02\x01\x00\x02\x01\x00\x02\x01\x00", 9) +
        std::string("\x30\x0e\x30\x0c\x06\x08\x2b\x06\x01\x02\x01\x01\x03\x00\x05\x00", 16);
    std::string getRequest = "\xa0" + std::string(1, static_cast<char>(pdu.size())) + pdu;
    std::string body =
        std::string("\x02\x01\x00\x04", 4) + static_cast<char>(c.size()) + c + getRequest;
    std::string message = "\x30" + std::string(1, static_cast<char>(body.size())) + body;
    if (::send(fd.get(), message.data(), message.size(), 0) < 0)
        return false;
    // A closed port wakes poll() too (the ICMP error): only a reply counts.
    pollfd entry{fd.get(), POLLIN, 0};
    char reply[512];
    return ::poll(&entry, 1, 200) > 0 && ::recv(fd.get(), reply, sizeof reply, 0) > 0;
}

}  // namespace

std::string randomLoopbackAddress() {
    static std::mt19937 rng(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<int> x(10, 250), y(2, 254);
    return "127.0." + std::to_string(x(rng)) + "." + std::to_string(y(rng));
}

bool SnmpdProcess::available() {
    return ::access(kSnmpd, X_OK) == 0;
}

SnmpdProcess::SnmpdProcess(const std::string& community, const std::vector<Object>& objects) {
    if (!available())
        return;
    char pattern[] = "/tmp/upkeep-snmpd-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        return;
    dir_ = pattern;
    for (int attempt = 0; attempt < 5 && !started_; ++attempt) {
        address_ = randomLoopbackAddress();
        std::string conf = dir_ + "/snmpd.conf";
        {
            std::ofstream out(conf);
            out << "agentAddress udp:" << address_ << ":161\n"
                << "rocommunity " << community << " 127.0.0.0/8\n";
            for (const Object& o : objects)
                out << "override " << o.oid << " octet_str " << hex(o.octets) << "\n";
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("MIBS", "", 1);
            ::setenv("SNMP_PERSISTENT_DIR", dir_.c_str(), 1);
            std::freopen("/dev/null", "w", stdout);
            std::freopen((dir_ + "/snmpd.log").c_str(), "w", stderr);
            ::execl(kSnmpd, "snmpd", "-f", "-Lo", "-C", "-c", conf.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (agentAnswers(address_, community)) {
                started_ = true;
                break;
            }
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!started_ && pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
}

SnmpdProcess::~SnmpdProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

}  // namespace upkeep::test
