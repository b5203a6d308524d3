#pragma once
// Starts the real Net-SNMP agent on a loopback address with a private
// configuration, for interoperation tests, and stops it again.

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "support/ChildProcess.h"

namespace upkeep::test {

class SnmpdProcess {
  public:
    struct Object {
        std::string oid;
        std::string octets;  // raw value, leading octets included
    };

    // Picks a free 127.0.x.y address itself. started() tells whether the
    // agent answers.
    SnmpdProcess(const std::string& community, const std::vector<Object>& objects);
    ~SnmpdProcess();
    SnmpdProcess(const SnmpdProcess&) = delete;
    SnmpdProcess& operator=(const SnmpdProcess&) = delete;

    bool started() const { return started_; }
    const std::string& address() const { return address_; }
    static bool available();

  private:
    std::string dir_;
    std::string address_;
    pid_t pid_ = -1;
    bool started_ = false;
};

}  // namespace upkeep::test
