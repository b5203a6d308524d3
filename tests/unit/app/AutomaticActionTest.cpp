#include "app/controllers/AutomaticAction.h"

#include <gtest/gtest.h>

namespace upkeep::app {
namespace {

TEST(AutomaticActionTest, DecidedFromOptionsRowsAndStates) {
    using K = AutomaticAction::Kind;
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
    const Case cases[] = {
        {"a named printer, shown or not",
         1,
         0,
         "p9",
         {"p0"},
         upToDate,
         {K::UpgradePrinter, "p9", "", 0}},
        {"one row is upgraded", 1, 0, "", {"p0"}, upToDate, {K::UpgradePrinter, "p0", "", 0}},
        {"no row", 1, 0, "", {}, {S::NotReachable}, {K::Message, "", "", 253}},
        {"one of several upgradable",
         1,
         0,
         "",
         {"p0", "p1"},
         {S::UpToDate, S::UpgradeAvailable},
         {K::Message, "", "", 250}},
        // The states are every printer's: one that is not shown still counts.
        {"upgradable but hidden",
         0,
         0,
         "",
         {"p0", "p1"},
         {S::UpToDate, S::UpToDate, S::UpgradeAvailable},
         {K::Message, "", "", 250}},
        {"none upgradable", 1, 0, "", {"p0", "p1"}, upToDate, {K::Message, "", "", 251}},
        {"media mode, several rows",
         0,
         1,
         "f.pdw",
         {"p0", "p1"},
         upToDate,
         {K::Message, "", "", 252}},
        {"media mode, one row and a file",
         0,
         1,
         "f.pdw",
         {"p0"},
         upToDate,
         {K::AddProfile, "p0", "f.pdw", 0}},
        {"media mode, one row, no file", 0, 1, "", {"p0"}, upToDate, {K::Nothing, "", "", 0}},
        {"no mode, one row", 0, 0, "", {"p0"}, upToDate, {K::Nothing, "", "", 0}},
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
