#pragma once
// Raw-socket clients for the simulator's own tests: a hand-made SNMPv1
// GetRequest and a small reader of the answer, and a TCP exchange. They
// share no code with the simulator or the program.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace upkeep::test::raw {

struct SnmpBinding {
    std::string oid;
    std::uint8_t type = 0;
    std::string value;
};

struct SnmpReply {
    std::string bytes;  // the datagram as it came
    bool decoded = false;
    std::uint8_t pduType = 0;
    std::int64_t requestId = 0;
    std::int64_t errorStatus = 0;
    std::int64_t errorIndex = 0;
    std::vector<SnmpBinding> bindings;
};

std::string getRequest(const std::string& community, std::int64_t requestId,
                       const std::vector<std::string>& oids);

// Sends one datagram to address:161 and waits for one answer.
std::optional<std::string> udpExchange(const std::string& address, const std::string& datagram,
                                       std::chrono::milliseconds wait);
// Sends every datagram from one socket, then collects the answers until
// one is an answer with request-id `lastId` (the agent answers in order, so
// that is the last), or none came for `wait`.
SnmpReply decodeReply(std::string bytes);

std::optional<SnmpReply> snmpGet(const std::string& address, const std::string& community,
                                 const std::vector<std::string>& oids, std::int64_t requestId = 1,
                                 std::chrono::milliseconds wait = std::chrono::milliseconds(1000));

// Connects to address:9100, sends `data` and reads the answer: until
// `expectedSize` bytes came (and a moment more, to catch any surplus), the
// peer closed, or `limit` passed. With `expectedSize` 0 it only looks for a
// short while whether anything comes at all.
std::string tcpExchange(const std::string& address, const std::string& data,
                        std::size_t expectedSize,
                        std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

// Sends `data` and closes at once (a download).
bool tcpSend(const std::string& address, const std::string& data);

}  // namespace upkeep::test::raw
