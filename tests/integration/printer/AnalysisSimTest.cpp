// A fleet of simulated printers analysed against the sample package, over
// SNMP on loopback and PJL over a pty standing in for a USB printer.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "integration/sim/SimHelpers.h"
#include "platform/Clock.h"
#include "platform/UniqueFd.h"
#include "printer/IdentifyReply.h"
#include "printer/PrinterList.h"
#include "printer/SnmpSweep.h"
#include "support/ChildProcess.h"
#include "support/PackageFixture.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

using S = PrinterState;

sockaddr_in snmpAddress(const std::string& address) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(161);
    ::inet_pton(AF_INET, address.c_str(), &in.sin_addr);
    return in;
}

// Stands on an address of its own in front of a simulated printer's agent,
// passing each request on and its answer back, and keeps every request.
class SnmpRelay {
  public:
    explicit SnmpRelay(const std::string& agent) {
        for (int attempt = 0; attempt < 20 && !bound_; ++attempt) {
            address_ = test::randomLoopbackAddress();
            front_.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
            const sockaddr_in at = snmpAddress(address_);
            bound_ = ::bind(front_.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0;
        }
        back_.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const sockaddr_in to = snmpAddress(agent);
        ::connect(back_.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
        thread_ = std::jthread([this](std::stop_token stop) { serve(stop); });
    }
    bool ok() const { return bound_; }
    const std::string& address() const { return address_; }
    std::vector<std::string> takeRequests() {
        std::lock_guard lock(mutex_);
        return std::exchange(requests_, {});
    }

  private:
    void serve(const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            pollfd front{front_.get(), POLLIN, 0};
            if (::poll(&front, 1, 20) <= 0)
                continue;
            char request[512], reply[512];
            sockaddr_storage from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n = ::recvfrom(front_.get(), request, sizeof request, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n <= 0)
                continue;
            {
                std::lock_guard lock(mutex_);
                requests_.emplace_back(request, static_cast<std::size_t>(n));
            }
            ::send(back_.get(), request, static_cast<std::size_t>(n), 0);
            pollfd back{back_.get(), POLLIN, 0};
            if (::poll(&back, 1, 100) <= 0)
                continue;
            const ssize_t m = ::recv(back_.get(), reply, sizeof reply, 0);
            if (m >= 0) {
                ::sendto(front_.get(), reply, static_cast<std::size_t>(m), 0,
                         reinterpret_cast<const sockaddr*>(&from), fromLength);
            }
        }
    }

    std::string address_;
    bool bound_ = false;
    platform::UniqueFd front_, back_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::jthread thread_;
};

// The sweep of a fleet sends each printer exactly the requests one printer's
// analysis sends, and leaves the same facts; a silent printer among
// answering ones costs the whole sweep one read time-out.
TEST(AnalysisSim, SweepAsksAndConcludesAsOnePrinterAtATime) {
    test::SamplePackage package;
    const struct {
        std::string more;
        S effective;
        const char* texts;  // model and version texts; nullptr: not checked
    } rows[] = {
        // Up to date itself, with a subsystem to upgrade.
        {"model = Meridot-5200\nversion = 6.00\nsubsystem = Finisher-F2 | F2.10\n",
         S::UpgradeAvailable, "Meridot-5200 Finisher-F2 /6.00 F2.10 "},
        {"model = Meridot-4000\nversion = 4.00\n", S::UpToDate, "Meridot-4000/4.00"},
        // The model is found whatever its case.
        {"model = meridot-4000\nversion = 3.10\nsnmp-request-id = 7\n", S::UpgradeAvailable,
         "meridot-4000/3.10"},
        {"snmp = silent\n", S::NotReachable, "/"},
        {"model = Meridot-4000\nversion = 3.10\nsnmp = error:2\n", S::NotReachable, nullptr},
        {"model = Meridot-4000\nversion = 3.10\nsnmp = malformed\n", S::NotReachable, nullptr},
        {"model = Meridot-9999\nversion = 1.0\n", S::Unsupported, "Meridot-9999/1.0"},
        // Only the version object answered.
        {"model = Meridot-4000\nversion = 3.10\nsnmp-drop = 1.3.6.1.3.77.1.1.0\n", S::Unsupported,
         "/3.10"},
        // The newest file of the optional section is installed here.
        {"model = Meridot-6100\nversion = 1.05\n", S::UpgradeAvailable, "Meridot-6100/1.05"},
    };
    std::string config;
    for (std::size_t i = 0; i < std::size(rows); ++i)
        config += test::simPrinter(static_cast<int>(i) + 1, "", "", rows[i].more);
    test::SimProcess sim(config);
    ASSERT_TRUE(sim.ok()) << sim.error();
    std::vector<std::unique_ptr<SnmpRelay>> relays;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        relays.push_back(std::make_unique<SnmpRelay>(sim.address(i)));
        ASSERT_TRUE(relays.back()->ok());
    }
    platform::ScopedTimeScale scale(0.05);  // a read time-out: 500 ms
    const auto timeOut = std::chrono::milliseconds(500);
    auto fleet = [&] {
        std::vector<std::unique_ptr<Printer>> printers;
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            printers.push_back(std::make_unique<Printer>(
                "p" + std::to_string(i), PortDescriptor(relays[i]->address(), PortType::TcpIp, 7)));
        }
        return printers;
    };

    auto single = fleet();
    for (auto& printer : single)
        printer->analyse();
    std::vector<std::vector<std::string>> asked;
    for (auto& relay : relays)
        asked.push_back(relay->takeRequests());

    auto swept = fleet();
    std::vector<Printer*> pointers;
    for (auto& printer : swept)
        pointers.push_back(printer.get());
    std::vector<std::size_t> order;
    const auto start = std::chrono::steady_clock::now();
    sweepNetworkPrinters(pointers, pointers.size(), [&](std::size_t i) { order.push_back(i); });
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, timeOut);
    EXPECT_LT(took, timeOut * 2);
    // Reported as each printer ends: the silent one last.
    ASSERT_EQ(order.size(), std::size(rows));
    EXPECT_EQ(order.back(), 3u);

    EXPECT_EQ(swept[0]->facts().state, S::UpToDate);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(relays[i]->takeRequests(), asked[i]) << i;
        EXPECT_FALSE(asked[i].empty()) << i;
        const PrinterFacts a = single[i]->facts(), b = swept[i]->facts();
        EXPECT_EQ(b.effectiveState(), rows[i].effective) << i;
        EXPECT_EQ(a.effectiveState(), rows[i].effective) << i;
        EXPECT_EQ(b.state, a.state) << i;
        EXPECT_EQ(b.modelText(), a.modelText()) << i;
        EXPECT_EQ(b.versionText(), a.versionText()) << i;
        EXPECT_EQ(b.subsystemCount, a.subsystemCount) << i;
        if (rows[i].texts) {
            EXPECT_EQ(b.modelText() + "/" + b.versionText(), rows[i].texts) << i;
        }
    }
}

TEST(AnalysisSim, MissingCatalogueMakesNetworkPrintersUnreachable) {
    FirmwareCatalogue empty;  // never loaded
    setAnalysisCatalogue(&empty);
    Printer printer("p", PortDescriptor("127.0.0.1", PortType::TcpIp, 7));
    EXPECT_EQ(printer.versionText(), "");
    EXPECT_EQ(printer.state(), S::NotReachable);
    setAnalysisCatalogue(nullptr);
}

// The second printer never answers PJL: it is unsupported without the
// IDENTIFY job.
TEST(AnalysisSim, UsbPrintersOverPjlWithTheOneSecondRead) {
    test::SamplePackage package;
    test::SimProcess sim(
        test::simPrinter(1, "", "",
                         "identify-reply = "
                         "\"Meridot-5200,Finisher-F2,Finisher-F2;5.10,F2.30,F2.10\\r\\n\"\n"
                         "pty = yes\n") +
        test::simPrinter(2, "", "", "pjl = silent\npty = yes\n") +
        test::simPrinter(3, "", "", "data = stall\npty = yes\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    ASSERT_FALSE(sim.ptyPath(0).empty());
    platform::ScopedTimeScale scale(0.05);  // each USB read: 50 ms
    Printer printer("usb", PortDescriptor(sim.ptyPath(0), PortType::Usb, 7));
    auto start = std::chrono::steady_clock::now();
    std::string version = printer.versionText();
    auto took = std::chrono::steady_clock::now() - start;
    // ECHO and IDENTIFY: at least two scaled one-second reads.
    EXPECT_GE(took, std::chrono::milliseconds(95));
    PrinterFacts f = printer.facts();
    EXPECT_EQ(f.model.view(), "Meridot-5200");
    EXPECT_EQ(f.state, S::UpgradeAvailable);
    ASSERT_EQ(f.subsystemCount, 2u);
    // The reply lists subsystems the other way round.
    EXPECT_EQ(f.subsystemVersions[0].view(), "F2.10");
    EXPECT_EQ(f.subsystemStates[0], S::UpgradeAvailable);
    EXPECT_EQ(f.subsystemVersions[1].view(), "F2.30");
    EXPECT_EQ(f.subsystemStates[1], S::UpToDate);
    EXPECT_EQ(version, "5.10 F2.10  F2.30 ");

    Printer silent("silent", PortDescriptor(sim.ptyPath(1), PortType::Usb, 7));
    silent.analyse();
    EXPECT_EQ(silent.state(), S::Unsupported);
    // Without an answer to ECHO, IDENTIFY is never sent.
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(1) + " 1 "));
    EXPECT_EQ(sim.record(1, 1), pjl::kEchoJob);

    // A device that takes no data ends the analysis at the write limit.
    Printer full("full", PortDescriptor(sim.ptyPath(2), PortType::Usb, 7));
    start = std::chrono::steady_clock::now();
    full.analyse();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(full.state(), S::UpToDate);
    EXPECT_NE(full.state(), S::UpgradeAvailable);
}

}  // namespace
}  // namespace upkeep
