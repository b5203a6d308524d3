#pragma once
// System software intake: reads the header of a download as it streams in
// (Model, Version, Size, then the flag line) and counts the payload, so
// that a download of any size is checked without being held in memory.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Printer.h"

namespace upkeep::sim {

class FirmwareIntake {
  public:
    void feed(std::string_view bytes);
    // Called once the connection ended: takes the new version on when the
    // whole file arrived and the version rule allows it. Returns the line
    // for stdout ("applied ..." or "rejected ...").
    std::string finish(Printer& printer) const;
    // Payload bytes still to come, once the header told the size.
    std::optional<std::uint64_t> remaining() const;

  private:
    void headerLine(std::string_view line);

    std::string header_;
    bool headerDone_ = false;
    std::string headerError_;
    std::string model_;
    std::string version_;
    std::string size_;
    bool downgrade_ = false;
    std::uint64_t payload_ = 0;
};

}  // namespace upkeep::sim
