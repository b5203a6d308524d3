#include "support/SnmpdProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

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

// Any reply to a GetRequest (even an error) shows the agent is up.
bool agentAnswers(const std::string& address, const std::string& community) {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(161);
    inet_pton(AF_INET, address.c_str(), &peer.sin_addr);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0)
        return false;
    // An SNMPv1 GetRequest, request id 0, for 1.3.6.1.2.1.1.3.0.
    const std::string get(
        "\xa0\x19\x02\x01\x00\x02\x01\x00\x02\x01\x00\x30\x0e\x30\x0c\x06\x08"
        "\x2b\x06\x01\x02\x01\x01\x03\x00\x05\x00",
        27);
    const std::string body =
        std::string("\x02\x01\x00\x04", 4) + static_cast<char>(community.size()) + community + get;
    const std::string message = "\x30" + std::string(1, static_cast<char>(body.size())) + body;
    if (::send(fd.get(), message.data(), message.size(), 0) < 0)
        return false;
    // A closed port wakes poll() too (the ICMP error): only a reply counts.
    pollfd entry{fd.get(), POLLIN, 0};
    char reply[512];
    return ::poll(&entry, 1, 200) > 0 && ::recv(fd.get(), reply, sizeof reply, 0) > 0;
}

}  // namespace

bool SnmpdProcess::available() {
    return ::access(kSnmpd, X_OK) == 0;
}

SnmpdProcess::SnmpdProcess(const std::string& community, const std::vector<Object>& objects) {
    if (!available() || (dir_ = makeTempDir("snmpd")).empty())
        return;
    const std::string conf = dir_ + "/snmpd.conf";
    for (int attempt = 0; attempt < 5 && !started_; ++attempt) {
        address_ = randomLoopbackAddress();
        {
            std::ofstream out(conf);
            out << "agentAddress udp:" << address_ << ":161\n"
                << "rocommunity " << community << " 127.0.0.0/8\n";
            for (const Object& o : objects)
                out << "override " << o.oid << " octet_str " << hex(o.octets) << "\n";
        }
        pid_ = spawn({kSnmpd, "-f", "-Lo", "-C", "-c", conf}, dir_ + "/snmpd.log", -1,
                     {"MIBS=", "SNMP_PERSISTENT_DIR=" + dir_});
        started_ =
            pid_ > 0 && waitUntilReady(pid_, [&] { return agentAnswers(address_, community); });
        if (!started_)
            stopProcess(pid_);
    }
}

SnmpdProcess::~SnmpdProcess() {
    stopProcess(pid_);
    removeTree(dir_);
}

}  // namespace upkeep::test
