#pragma once
// A private CUPS scheduler for one test: configuration, state, spool and its
// socket in a temporary directory, so the system's scheduler (if any) is
// never asked or changed. Stopped by its process id.

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace upkeep::test {

class CupsdProcess {
  public:
    // True when cupsd and lpadmin are installed.
    static bool available();

    CupsdProcess();
    ~CupsdProcess();
    CupsdProcess(const CupsdProcess&) = delete;
    CupsdProcess& operator=(const CupsdProcess&) = delete;

    // True once the scheduler accepts connections; otherwise error() says why.
    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    // What CUPS_SERVER names for this scheduler.
    const std::string& socketPath() const { return socket_; }

    // lpadmin -p NAME -E -v URI [-m MODEL]; on failure error() has its output.
    bool addQueue(const std::string& name, const std::string& uri, const std::string& model = "");

    // lpadmin -p QUEUE -c CLASS: the queue joins the class (made if new).
    bool addToClass(const std::string& queue, const std::string& className);

    // The environment in which upkeepctl asks this scheduler only: no
    // registry file, and the system bus given (none by default).
    std::vector<std::pair<std::string, std::string>> toolEnvironment(
        const std::string& bus = "unix:path=/nonexistent/upkeep-test/bus") const {
        return {{"CUPS_SERVER", socket_},
                {"UPKEEP_REGISTRY", "/nonexistent/upkeep.reg"},
                {"DBUS_SYSTEM_BUS_ADDRESS", bus}};
    }

    // SIGTERM, then wait (SIGKILL after 5 s).
    void stop();

  private:
    std::string dir_;
    std::string socket_;
    pid_t pid_ = -1;
    bool started_ = false;
    std::string error_;
};

}  // namespace upkeep::test
