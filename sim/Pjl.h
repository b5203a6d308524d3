#pragma once
// Answers the PJL jobs a printer receives on its data channel: ECHO,
// IDENTIFY in the upgrade language, and the media list job.

#include <string>
#include <string_view>

#include "Printer.h"

namespace upkeep::sim {

inline constexpr std::string_view kUel = "\x1b%-12345X";

class PjlResponder {
  public:
    explicit PjlResponder(const Printer& printer) : printer_(printer) {}
    // Takes the next bytes of the connection; returns what the printer
    // sends back for the lines they complete.
    std::string feed(std::string_view bytes);

  private:
    std::string line(std::string_view text);

    enum class Language { Pjl, Upgrade, Media, Other };
    const Printer& printer_;
    std::string pending_;
    Language language_ = Language::Pjl;
};

// The IDENTIFY reply for the printer's current versions.
std::string identifyReply(const Printer& printer);
// The media list reply: "inkSet:" and "medias:" blocks of 41-character lines.
std::string mediaListReply(const Printer& printer);
// One media entry as both listings show it: "%-20s %-20s", 41 characters.
std::string mediaLine(const Media& media);

}  // namespace upkeep::sim
