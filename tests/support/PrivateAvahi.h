#pragma once
// A private Avahi daemon for one test, on a private system bus, in a
// network namespace of its own (tests/support/private-avahi.sh): services
// published there resolve through the client library in the test's process
// once DBUS_SYSTEM_BUS_ADDRESS names busAddress(). Needs root and the
// avahi-daemon, avahi-utils, dbus and iproute2 packages; skipped() says
// when they are missing. Stopped by the destructor.

#include <string>
#include <vector>

namespace upkeep::test {

class PrivateAvahi {
  public:
    PrivateAvahi();
    ~PrivateAvahi();
    PrivateAvahi(const PrivateAvahi&) = delete;
    PrivateAvahi& operator=(const PrivateAvahi&) = delete;

    bool started() const { return started_; }
    bool skipped() const { return skipped_; }
    const std::string& error() const { return error_; }
    const std::string& busAddress() const { return bus_; }

    // A host name record ("printer.local" -> 127.0.0.5).
    bool publishAddress(const std::string& host, const std::string& address);
    // A service instance whose host is `host` (published with publishAddress).
    bool publishService(const std::string& name, const std::string& type, int port,
                        const std::string& host);

  private:
    bool run(const std::vector<std::string>& args,
             const std::vector<std::pair<std::string, std::string>>& env = {});

    std::string dir_;
    std::string bus_;
    bool started_ = false;
    bool skipped_ = false;
    std::string error_;
};

}  // namespace upkeep::test
