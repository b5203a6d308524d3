#pragma once
// The start options the start-up gathers (start-up request file, settings,
// command line) and hands to the main window by copy.

#include <cstdint>

#include "platform/FixedText.h"

namespace upkeep {

struct StartOptions {
    std::uint32_t firmwareMode = 0;  // 1: check, upgrade and downgrade system software
    std::uint32_t mediaMode = 0;     // 1: work with media profiles
    // The printer to upgrade (firmware mode) or the profile file to add
    // (media mode) automatically; empty: none.
    FixedText<256> argument;
    // An argument longer than the field was given: it is refused rather
    // than cut into the name of another printer or file, and left empty.
    bool argumentRefused = false;
    std::uint8_t language = 0;  // primary language identifier; 0: not given
};

// Reads the start-up request file "startup" of the working directory into
// the options and deletes it. Its first word asks for a mode ("firmware" or
// "medaform", any letter case); its next non-blank line is the argument,
// kept whole or refused when it does not fit. A file whose first word is
// neither is left in place.
void readStartupRequest(StartOptions& options);

class Connection;
// The request in an open start-up file, into options cleared before; false
// when the file's first word is not a request word (the file then stays).
bool readStartupRequestFrom(Connection& file, StartOptions& options);

}  // namespace upkeep
