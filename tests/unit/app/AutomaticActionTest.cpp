#include "app/controllers/AutomaticAction.h"

#include <gtest/gtest.h>

namespace upkeep::app {
namespace {

using K = AutomaticAction::Kind;
AutomaticAction upgrade(const std::string& printer) {
    return {K::UpgradePrinter, printer, "", 0};
}
AutomaticAction message(int id) {
    return {K::Message, "", "", id};
}

TEST(AutomaticActionTest, DecidedFromOptionsRowsAndStates) {
    using S = PrinterState;
    struct Case {
        const char* name;
        std::uint32_t firmwareMode, mediaMode;
        const char* argument;
        std::vector<std::string> rows;
        std::vector<S> states;
        AutomaticAction expected;
    };
    const std::vector<S> upToDate{S::UpToDate, S::UpToDate};
    const std::vector<S> secondUpgradable{S::UpToDate, S::UpgradeAvailable};
    // The states are every printer's: one that is not shown still counts.
    const std::vector<S> hiddenUpgradable{S::UpToDate, S::UpToDate, S::UpgradeAvailable};
    const std::vector<std::string> one{"p0"}, two{"p0", "p1"};
    const AutomaticAction addProfile{K::AddProfile, "p0", "f.pdw", 0}, nothing{};
    const Case cases[] = {
        {"a named printer, shown or not", 1, 0, "p9", one, upToDate, upgrade("p9")},
        {"one row is upgraded", 1, 0, "", one, upToDate, upgrade("p0")},
        {"no row", 1, 0, "", {}, {S::NotReachable}, message(253)},
        {"one of several upgradable", 1, 0, "", two, secondUpgradable, message(250)},
        {"upgradable but hidden", 0, 0, "", two, hiddenUpgradable, message(250)},
        {"none upgradable", 1, 0, "", two, upToDate, message(251)},
        {"media mode, several rows", 0, 1, "f.pdw", two, upToDate, message(252)},
        {"media mode, one row and a file", 0, 1, "f.pdw", one, upToDate, addProfile},
        {"media mode, one row, no file", 0, 1, "", one, upToDate, nothing},
        {"no mode, one row", 0, 0, "", one, upToDate, nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartOptions options;
        options.firmwareMode = c.firmwareMode;
        options.mediaMode = c.mediaMode;
        options.argument = c.argument;
        const AutomaticAction action = automaticAction(options, c.rows, c.states);
        EXPECT_EQ(action.kind, c.expected.kind);
        EXPECT_EQ(action.printer, c.expected.printer);
        EXPECT_EQ(action.file, c.expected.file);
        EXPECT_EQ(action.messageId, c.expected.messageId);
    }
}

}  // namespace
}  // namespace upkeep::app
