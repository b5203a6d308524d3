// The simulator's data port: recording, PJL replies, firmware and profile
// intake, and its faults, through plain TCP connections.

#include <gtest/gtest.h>

#include <random>

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

void expectAnswer(const std::string& address, const std::string& request,
                  const std::string& expected) {
    EXPECT_EQ(raw::tcpExchange(address, request, expected.size()), expected);
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

TEST(SimDataPort, RecordsEveryConnectionByteForByte) {
    SimProcess sim("[printer]\naddress = @ADDR1@\nmodel = M\nversion = 1\n");
    ASSERT_TRUE(sim.ok()) << sim.error();
    std::mt19937 random(5);
    std::string big(300000, '\0');
    for (char& c : big)
        c = static_cast<char>(random());
    big[0] = 'x';  // not a PJL job, not a profile
    const std::string files[] = {big, "", "M"};
    for (std::size_t i = 0; i < std::size(files); ++i) {
        ASSERT_TRUE(raw::tcpSend(sim.address(0), files[i]));
        const std::string n = std::to_string(i + 1);
        EXPECT_TRUE(sim.waitForLine("received " + sim.address(0) + " " + n + " " +
                                    std::to_string(files[i].size())));
        EXPECT_EQ(sim.record(0, static_cast<int>(i + 1)), files[i]);
    }
}

TEST(SimDataPort, AnswersPjlJobsInTheShapesTheProgramReads) {
    SimProcess sim(R"(
[printer]
address = @ADDR1@
model = Meridot 4000
version = 1.20
subsystem = Cutter X | 2.1
subsystem = Heater | 0.9
media = Photo K3 | Glossy Paper 260
media = Photo K3 | Matte
media = Art | A Name Longer Than Twenty Characters

[printer]
address = @ADDR2@
model = Meridot 100
version = 3.0

[printer]
address = @ADDR3@
model = Meridot 4000
identify-reply = M1;V1\r\n

[printer]
address = @ADDR4@
pjl = silent

[printer]
address = @ADDR5@
model = M
pjl = echo-only
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string echoReply = "@PJL ECHO HELLO\r\n\f";
    // Subsystems come last first; the program turns them round.
    const std::string identifyReply = "Meridot 4000,Heater,Cutter X;1.20,0.9,2.1\r\n";
    expectAnswer(sim.address(0), kEcho, echoReply);
    expectAnswer(sim.address(0), kIdentify, identifyReply);
    expectAnswer(sim.address(0), kEcho + kIdentify, echoReply + identifyReply);
    // The IDENTIFY job ends without a line end; the next job still counts.
    expectAnswer(sim.address(0), kIdentify + kEcho, identifyReply + echoReply);
    expectAnswer(sim.address(1), kIdentify, "Meridot 100,;3.0");
    expectAnswer(sim.address(2), kIdentify, "M1;V1\r\n");
    expectAnswer(sim.address(3), kEcho + kIdentify, "");
    expectAnswer(sim.address(4), kEcho + kIdentify, echoReply);

    const std::string list =
        "inkSet: Photo K3\nmedias: 2\n"
        "Photo K3             Glossy Paper 260    \n"
        "Photo K3             Matte               \n"
        "inkSet: Art\nmedias: 1\n"
        "Art                  A Name Longer Than T\n";
    expectAnswer(sim.address(0), kMediaList, list);
    for (std::size_t start = 0, lf; (lf = list.find('\n', start)) != std::string::npos;
         start = lf + 1) {
        const std::string line = list.substr(start, lf - start);
        if (line.rfind("inkSet:", 0) != 0 && line.rfind("medias:", 0) != 0) {
            EXPECT_EQ(line.size(), 41u) << line;
        }
    }
}

TEST(SimDataPort, AnswersProfilesWithTheConfiguredNumber) {
    SimProcess sim(R"(
[printer]
address = @ADDR1@
model = M
profile-idle-ms = 50

[printer]
address = @ADDR2@
model = M
profile-answer = 12
profile-line-end =

[printer]
address = @ADDR3@
model = M
profile-answer = none
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string profile = "MEDAFORM 1\nName: Satin\nInkSet: Photo\nSize: 4\n\nabcd";
    expectAnswer(sim.address(0), profile, "0\r\n");
    expectAnswer(sim.address(1), profile, "12");
    expectAnswer(sim.address(2), profile, "");
    EXPECT_EQ(sim.record(0, 1), profile);
    // Accepted profiles join the media table.
    auto reply = raw::snmpGet(
        sim.address(0), "quenby",
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.1.1.0", "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.2.1.0"});
    ASSERT_TRUE(reply && reply->decoded);
    ASSERT_EQ(reply->bindings.size(), 2u);
    EXPECT_EQ(reply->bindings[1].value.substr(2), "Satin");
    // A profile that gives no size is answered once the sender goes quiet.
    expectAnswer(sim.address(0), "MEDAFORM\nsomething", "0\r\n");
}

TEST(SimDataPort, ClosesAfterTheConfiguredByteCount) {
    SimProcess sim("[printer]\naddress = @ADDR1@\nmodel = M\ndata = close-after:1000\n");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file = firmware("M", "2", "0 0 0 0", 5000, 5000);
    // The printer hangs up: the sender sees the end of the stream.
    expectAnswer(sim.address(0), file, "");
    EXPECT_TRUE(sim.waitForLine("received " + sim.address(0) + " 1 1000", milliseconds(10)));
    EXPECT_TRUE(sim.waitForLine("rejected " + sim.address(0)));
    EXPECT_EQ(sim.record(0, 1), file.substr(0, 1000));
}

TEST(SimDataPort, SlowAndStalledPrintersHoldTheSenderBack) {
    SimProcess sim(
        "[printer]\naddress = @ADDR1@\ndata = slow:40000\n"
        "[printer]\naddress = @ADDR2@\ndata = stall\n");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string file(10000, 'x');
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(raw::tcpSend(sim.address(0), file));
    EXPECT_TRUE(sim.waitForLine("received " + sim.address(0) + " 1 10000"));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, milliseconds(200));  // 10000 bytes at 40000 per second
    EXPECT_LT(took, milliseconds(2000));
    EXPECT_EQ(sim.record(0, 1), file);

    ASSERT_TRUE(raw::tcpSend(sim.address(1), file));
    EXPECT_FALSE(sim.waitForLine("received " + sim.address(1), milliseconds(100)));
    EXPECT_EQ(sim.record(1, 1), "");  // nothing was read
    // A stalled connection does not hold up the simulator's end.
    const auto stopping = std::chrono::steady_clock::now();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, milliseconds(1500));
}

}  // namespace
}  // namespace upkeep::test
