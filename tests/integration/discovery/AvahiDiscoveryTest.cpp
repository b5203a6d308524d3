// DNS-SD names resolved by a real Avahi daemon: a private one, on its own
// system bus and network namespace, whose records point at loopback.

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/linux/AvahiDnssdResolver.h"
#include "support/CommandRunner.h"
#include "support/CupsdProcess.h"
#include "support/Paths.h"
#include "support/PrivateAvahi.h"
#include "support/SimProcess.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

TEST(AvahiDiscovery, QueuesOnDnssdNamesResolveOrSayWhyNot) {
    test::PrivateAvahi avahi;
    if (avahi.skipped())
        GTEST_SKIP() << avahi.error();
    ASSERT_TRUE(avahi.started()) << avahi.error();
    test::SimProcess sim(
        "[printer]\naddress = @ADDR1@\nmodel = Meridot-4000\nversion = 4.00\n"
        "[printer]\naddress = @ADDR2@\nmodel = Meridot-4000\nversion = 4.00\n"
        "[printer]\naddress = @ADDR3@\nmodel = Meridot-4000\nversion = 4.00\n");
    ASSERT_TRUE(sim.ok()) << sim.error();
    ASSERT_TRUE(avahi.publishAddress("upkeep-sim.local", sim.address(0))) << avahi.error();
    ASSERT_TRUE(avahi.publishService("Meridot 4000", "_ipp._tcp", 631, "upkeep-sim.local"))
        << avahi.error();
    ASSERT_TRUE(
        avahi.publishService("Meridot Raw", "_pdl-datastream._tcp", 9101, "upkeep-sim.local"))
        << avahi.error();
    ASSERT_TRUE(avahi.publishAddress("upkeep-host.local", sim.address(1))) << avahi.error();
    ASSERT_TRUE(avahi.publishService("Meridot Lab", "_ipp._tcp", 631, "upkeep-host.local"))
        << avahi.error();
    test::ScopedEnvVar bus("DBUS_SYSTEM_BUS_ADDRESS", avahi.busAddress());

    platform::AvahiDnssdResolver resolver;
    platform::Resolution found = resolver.resolve({"Meridot 4000", "_ipp._tcp", "local"});
    ASSERT_TRUE(found.service) << found.problem;
    EXPECT_EQ(found.service->address, sim.address(0));
    EXPECT_EQ(found.service->port, 631);
    {
        // A name nobody announces: the resolution's own limit ends it.
        platform::ScopedTimeScale scale(0.1);
        platform::Resolution missing = resolver.resolve({"Nobody", "_ipp._tcp", "local"});
        EXPECT_FALSE(missing.service);
        EXPECT_EQ(missing.problem, "DNS-SD (Avahi): Timeout reached");
    }

    // upkeepctl lists CUPS queues on those names with their addresses and
    // analyses them.
    if (!test::CupsdProcess::available())
        GTEST_SKIP() << "cupsd is not installed";
    test::CupsdProcess cupsd;
    ASSERT_TRUE(cupsd.started()) << cupsd.error();
    ASSERT_TRUE(cupsd.addQueue("a-ipp", "dnssd://Meridot%204000._ipp._tcp.local/", "raw"))
        << cupsd.error();
    ASSERT_TRUE(cupsd.addQueue("b-raw", "dnssd://Meridot%20Raw._pdl-datastream._tcp.local/", "raw"))
        << cupsd.error();
    // A driverless queue, a host of the mDNS domain, a maker's backend by
    // zeroconf name, and a host nobody announces.
    const std::pair<const char*, const char*> more[] = {
        {"c-driverless", "ipp://Meridot%20Lab._ipp._tcp.local/"},
        {"d-local-host", "socket://upkeep-host.local:9101"},
        // The printer of b-raw again: listed on that port, analysed once.
        {"e-maker-zc", "mvend:/net/Meridot%204000?zc=Meridot%20Raw"},
        {"f-local-gone", "socket://nobody-here.local"},
    };
    for (const auto& [name, uri] : more)
        ASSERT_TRUE(cupsd.addQueue(name, uri, "raw")) << cupsd.error();
    auto env = cupsd.toolEnvironment(avahi.busAddress());
    env.emplace_back("UPKEEP_TIME_SCALE", "0.1");
    test::CommandResult printers = test::runCommand({test::ctlPath(), "printers", "--json"}, env);
    EXPECT_EQ(printers.exitCode, 0) << printers.err;
    for (const std::string& port : {sim.address(0), sim.address(0) + ":9101"}) {
        EXPECT_NE(printers.out.find("\"portType\": \"TcpIp\", \"port\": \"" + port + "\""),
                  std::string::npos)
            << printers.out;
    }
    EXPECT_NE(printers.out.find("resolved to upkeep-sim.local"), std::string::npos) << printers.out;
    for (const std::string& part :
         {"\"name\": \"c-driverless\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(1) +
              "\"",
          "\"name\": \"d-local-host\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(1) +
              ":9101\"",
          "\"name\": \"e-maker-zc\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(0) +
              ":9101\"",
          std::string("\"name\": \"f-local-gone\", \"portType\": \"TcpIp\", \"port\": \"\""),
          std::string("\"reachable\": false, \"reason\": \"DNS-SD (Avahi): ")})
        EXPECT_NE(printers.out.find(part), std::string::npos) << part << "\n" << printers.out;
    test::CommandResult check = test::runCommand(
        {test::ctlPath(), "check", "--all", "--json", "--package", test::examplePackageDir()}, env);
    for (const char* name : {"a-ipp", "c-driverless", "d-local-host"}) {
        EXPECT_NE(
            check.out.find("\"name\": \"" + std::string(name) + "\", \"state\": \"upToDate\""),
            std::string::npos)
            << name << "\n"
            << check.out;
    }
}

}  // namespace
}  // namespace upkeep
