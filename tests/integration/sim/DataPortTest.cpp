// The simulator's data port: recording, PJL replies, firmware and profile
// intake, and its faults, through plain TCP connections.

#include <gtest/gtest.h>

#include "integration/sim/RawClient.h"
#include "support/SimProcess.h"

namespace upkeep::test {
namespace {

using std::chrono::milliseconds;

const std::string kUel = "\x1b%-12345X";
const std::string kEcho = kUel + "@PJL ECHO HELLO\r\n";
const std::string kIdentify =
    kUel + "@PJL ENTER LANGUAGE=UPGRADE\r\nIDENTIFY\r\n" + kUel + "@PJL EOJ";
const std::string kMediaList = kUel + "@PJL ENTER LANGUAGE=TavoVarwarePlus\nlist" +
                               std::string(4, '\0') + "\n" + kUel +
                               "@PJL EOJ NAME = \"list_media_profile\"" + std::string(1, '\0');

std::string firmware(const std::string& model, const std::string& version,
                     const std::string& flags = "0 0 0 0", std::size_t payload = 300,
                     std::size_t declared = 300) {
    std::string file = "Model: " + model + "\nVersion: " + version +
                       "\nSize: " + std::to_string(declared) + "\n" + flags + "\n";
    for (std::size_t i = 0; i < payload; ++i)
        file += static_cast<char>(i * 7 + 1);
    return file;
}

std::string versionOf(const SimProcess& sim, std::size_t printer, const std::string& oid) {
    auto reply = raw::snmpGet(sim.address(printer), "quenby", {oid});
    if (!reply || !reply->decoded || reply->bindings.size() != 1)
        return "<no answer>";
    return reply->bindings[0].value.substr(2);
}

TEST(SimFirmwareIntake, AppliesOrRefusesByTheVersionRules) {
    struct Case {
        const char* name;
        std::string file;
        std::string expectedLine;  // prefix after the address
        std::string oid;           // object that shows the outcome
        std::string expectedVersion;
    } cases[] = {
        {"newer", firmware("Meridot 4000", "1.30"), "applied", "1.3.6.1.3.77.1.2.0", "1.30"},
        {"same version again", firmware("Meridot 4000", "1.20"), "applied", "1.3.6.1.3.77.1.2.0",
         "1.20"},
        {"older", firmware("Meridot 4000", "1.9"), "rejected", "1.3.6.1.3.77.1.2.0", "1.20"},
        {"older with downgrade flag", firmware("Meridot 4000", "1.9", "7 0 0 0"), "applied",
         "1.3.6.1.3.77.1.2.0", "1.9"},
        {"numeric, not text, order", firmware("Meridot 4000", "1.100"), "applied",
         "1.3.6.1.3.77.1.2.0", "1.100"},
        {"truncated payload", firmware("Meridot 4000", "1.30", "0 0 0 0", 299), "rejected",
         "1.3.6.1.3.77.1.2.0", "1.20"},
        {"more than Size", firmware("Meridot 4000", "1.30", "0 0 0 0", 301), "rejected",
         "1.3.6.1.3.77.1.2.0", "1.20"},
        {"truncated header", "Model: Meridot 4000\nVersion: 1.30\nSi", "rejected",
         "1.3.6.1.3.77.1.2.0", "1.20"},
        {"no flag line", "Model: Meridot 4000\nVersion: 1.30\nSize: 0\nhello\n", "rejected",
         "1.3.6.1.3.77.1.2.0", "1.20"},
        {"subsystem, any letter case", firmware("CUTTER x", "2.5"), "applied",
         "1.3.6.1.3.77.2.1.2.0", "2.5"},
        {"older subsystem", firmware("Cutter X", "2.0"), "rejected", "1.3.6.1.3.77.2.1.2.0", "2.1"},
        {"unknown model", firmware("Meridot 9000", "9.0"), "rejected", "1.3.6.1.3.77.1.2.0",
         "1.20"},
    };
    std::string config;
    int k = 0;
    for (const Case& c : cases) {
        (void)c;
        config += "[printer]\naddress = @ADDR" + std::to_string(++k) +
                  "@\nmodel = Meridot 4000\nversion = 1.20\nsubsystem = Cutter X | 2.1\n";
    }
    SimProcess sim(config);
    ASSERT_TRUE(sim.ok()) << sim.error();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(raw::tcpSend(sim.address(i), c.file));
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
