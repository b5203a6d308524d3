#pragma once
// What the program can do with a printer, as the analysis left it.

#include <cstdint>

namespace upkeep {

enum class PrinterState : std::int32_t {
    NotAnalysed = 0,
    Canceled = 1,
    NotReachable = 2,
    Unsupported = 3,
    UpgradeAvailable = 4,
    UnsupportedConnection = 5,
    UpToDate = 6,
};

// The list view's text (a string-table number) and icon for a state.
struct StateDisplay {
    int stringId;
    int icon;  // 0 question mark, 1 exclamation mark, 2 check mark
};

inline StateDisplay stateDisplay(PrinterState state) {
    switch (state) {
        case PrinterState::Canceled:
            return {155, 0};
        case PrinterState::NotReachable:
            return {150, 0};
        case PrinterState::UpgradeAvailable:
            return {151, 1};
        case PrinterState::UnsupportedConnection:
            return {153, 0};
        case PrinterState::UpToDate:
            return {152, 2};
        default:
            return {154, 0};
    }
}

// Short machine-readable names (command-line JSON).
inline const char* stateName(PrinterState state) {
    switch (state) {
        case PrinterState::NotAnalysed:
            return "notAnalysed";
        case PrinterState::Canceled:
            return "canceled";
        case PrinterState::NotReachable:
            return "notReachable";
        case PrinterState::Unsupported:
            return "unsupported";
        case PrinterState::UpgradeAvailable:
            return "upgradeAvailable";
        case PrinterState::UnsupportedConnection:
            return "unsupportedConnection";
        case PrinterState::UpToDate:
            return "upToDate";
    }
    return "unsupported";
}

}  // namespace upkeep
