// The simulator's firmware intake: which downloads it takes on, through
// plain TCP connections; the version it then reports is read by SNMP.

#include <gtest/gtest.h>

#include "connection/Connection.h"
#include "integration/sim/SimHelpers.h"
#include "printer/SnmpQuery.h"
#include "support/SimProcess.h"

namespace upkeep::test {
namespace {

std::string firmware(const std::string& model, const std::string& version,
                     const std::string& flags = "0 0 0 0", std::size_t payload = 300) {
    std::string file = "Model: " + model + "\nVersion: " + version + "\nSize: 300\n" + flags + "\n";
    for (std::size_t i = 0; i < payload; ++i)
        file += static_cast<char>(i * 7 + 1);
    return file;
}

std::string versionOf(const SimProcess& sim, std::size_t printer, const std::string& oid) {
    SnmpQuery query(PortDescriptor(sim.address(printer), PortType::TcpIp, channel::kUnset));
    std::string value, same;
    return query.query(oid, oid, value, same) ? value : "<no answer>";
}

// Sends the bytes on the data port and closes, as a download does.
bool tcpSend(const std::string& address, const std::string& data) {
    auto connection = createConnection(PortDescriptor(address, PortType::TcpIp, channel::kData));
    return connection && connection->open() &&
           connection->write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

TEST(SimFirmwareIntake, AppliesOrRefusesByTheVersionRules) {
    struct Case {
        const char* name;
        std::string file;
        std::string expectedLine;  // prefix after the address
        std::string oid;           // object that shows the outcome
        std::string expectedVersion;
    };
    const std::string main = "1.3.6.1.3.77.1.2.0", sub = "1.3.6.1.3.77.2.1.2.0";
    const Case cases[] = {
        {"newer", firmware("Meridot 4000", "1.30"), "applied", main, "1.30"},
        {"same version again", firmware("Meridot 4000", "1.20"), "applied", main, "1.20"},
        {"older", firmware("Meridot 4000", "1.9"), "rejected", main, "1.20"},
        {"older with downgrade flag", firmware("Meridot 4000", "1.9", "7 0 0 0"), "applied", main,
         "1.9"},
        {"numeric, not text, order", firmware("Meridot 4000", "1.100"), "applied", main, "1.100"},
        {"truncated payload", firmware("Meridot 4000", "1.30", "0 0 0 0", 299), "rejected", main,
         "1.20"},
        {"more than Size", firmware("Meridot 4000", "1.30", "0 0 0 0", 301), "rejected", main,
         "1.20"},
        {"truncated header", "Model: Meridot 4000\nVersion: 1.30\nSi", "rejected", main, "1.20"},
        {"no flag line", "Model: Meridot 4000\nVersion: 1.30\nSize: 0\nhello\n", "rejected", main,
         "1.20"},
        {"subsystem, any letter case", firmware("CUTTER x", "2.5"), "applied", sub, "2.5"},
        {"older subsystem", firmware("Cutter X", "2.0"), "rejected", sub, "2.1"},
        {"unknown model", firmware("Meridot 9000", "9.0"), "rejected", main, "1.20"},
    };
    std::string config;
    for (int i = 1; i <= static_cast<int>(std::size(cases)); ++i)
        config += simPrinter(i, "Meridot 4000", "1.20", "subsystem = Cutter X | 2.1\n");
    SimProcess sim(config);
    ASSERT_TRUE(sim.ok()) << sim.error();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(tcpSend(sim.address(i), c.file));
        auto received = sim.waitForLine("received " + sim.address(i) + " 1 ");
        ASSERT_TRUE(received);
        EXPECT_EQ(*received, "received " + sim.address(i) + " 1 " + std::to_string(c.file.size()));
        auto verdict = sim.waitForLine(c.expectedLine + " " + sim.address(i) + " ");
        ASSERT_TRUE(verdict);
        EXPECT_EQ(versionOf(sim, i, c.oid), c.expectedVersion);
        EXPECT_EQ(sim.record(i, 1), c.file);
    }
}

}  // namespace
}  // namespace upkeep::test
