#pragma once
// One connection to a printer's data channel (a TCP connection to port 9100
// or one opening of the pty): records every byte, tells a PJL job from a
// profile and from a system software download by the first bytes, and
// hands the bytes to the matching responder.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Fd.h"
#include "Firmware.h"
#include "Pjl.h"
#include "Printer.h"
#include "Profile.h"

namespace upkeep::sim {

class Session {
  public:
    Session(Printer& printer, const std::string& recordDir);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Returns the bytes the printer sends back.
    std::string feed(std::string_view bytes);
    // How many more bytes this connection can still take as its own when
    // its end and the next connection's start cannot be told apart (on the
    // pty): what a download's header still promises, none for PJL jobs
    // (they were answered already), nullopt when unknown.
    std::optional<std::uint64_t> expects() const;
    // True once the first bytes told what this connection carries.
    bool decided() const { return kind_ != Kind::Unknown; }
    // Milliseconds of silence after which idle() is due, or -1.
    int idleTimeoutMs() const;
    std::string idle();
    // The connection ended: prints "received ..." and the intake's verdict.
    void finish();

  private:
    enum class Kind { Unknown, Pjl, Profile, Firmware };
    void decide(bool final);

    Printer& printer_;
    const int number_;
    Fd record_;
    std::uint64_t received_ = 0;
    Kind kind_ = Kind::Unknown;
    std::string head_;
    PjlResponder pjl_;
    ProfileIntake profile_;
    FirmwareIntake firmware_;
    bool finished_ = false;
};

}  // namespace upkeep::sim
