#pragma once
// Media profile intake: a data-port file that starts with "MEDAFORM". The
// printer answers one number once the profile is complete: when the Size
// given in its header has arrived, or else when the sender has gone quiet.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Printer.h"

namespace upkeep::sim {

inline constexpr std::string_view kProfileSignature = "MEDAFORM";

class ProfileIntake {
  public:
    explicit ProfileIntake(Printer& printer) : printer_(printer) {}
    // Returns the answer to send back when these bytes complete the profile.
    std::string feed(std::string_view bytes);
    // The sender has been quiet for the configured time.
    std::string idle();
    bool answered() const { return answered_; }
    // Bytes still to come, when the header told the size.
    std::optional<std::uint64_t> remaining() const;

  private:
    std::string complete();

    Printer& printer_;
    std::string header_;
    bool headerDone_ = false;
    std::optional<std::uint64_t> size_;
    std::string name_;
    std::string inkSet_;
    std::uint64_t payload_ = 0;
    std::uint64_t total_ = 0;
    bool answered_ = false;
};

}  // namespace upkeep::sim
