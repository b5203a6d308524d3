#include <gtest/gtest.h>

#include <chrono>

#include "app/controllers/Startup.h"
#include "package/FirmwareCatalogue.h"
#include "platform/Clock.h"
#include "support/PackageFixture.h"
#include "unit/app/FakeViews.h"

namespace upkeep::app {
namespace {

TEST(CommandLineTest, OptionsFoundAnywhereInTheLine) {
    struct Case {
        std::string line;
        std::uint32_t fromFileMedia;  // the start-up request file's mode
        std::uint32_t firmware, media;
        std::string argument;
        std::uint8_t language;
    };
    const Case cases[] = {
        {"/opt/x -fast/upkeep", 0, 1, 0, "ast/upkeep", 0},
        {"upkeep -fPlotter 2", 0, 1, 0, "Plotter 2", 0},
        {"upkeep -f Plotter 2", 0, 1, 0, " Plotter 2", 0},
        {"upkeep -f", 0, 1, 0, "from file", 0},
        {"upkeep -oC:\\profiles\\paper.pdw", 0, 0, 1, "C:\\profiles\\paper.pdw", 0},
        {"upkeep -l 7", 0, 0, 0, "from file", 7},
        {"upkeep -l 17", 0, 0, 0, "from file", 17},
        {"upkeep -l    263", 0, 0, 0, "from file", 7},  // lowest 8 bits
        {"upkeep -l x", 0, 0, 0, "from file", 0},
        {"upkeep -fPlotter", 1, 1, 1, "Plotter", 0},
        {"upkeep -o -fA", 0, 1, 0, "A", 0},  // -f wins wherever it stands
        {"upkeep-f", 0, 0, 0, "from file", 0},
        {"upkeep -f" + std::string(255, 'p'), 0, 1, 0, std::string(255, 'p'), 0},
        {"upkeep -o" + std::string(256, 'p'), 0, 0, 1, "", 0},  // refused, not cut
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        StartOptions options;
        options.mediaMode = c.fromFileMedia;
        options.argument = "from file";
        parseCommandLine(c.line, options);
        EXPECT_EQ(options.firmwareMode, c.firmware);
        EXPECT_EQ(options.mediaMode, c.media);
        EXPECT_EQ(options.argument.str(), c.argument);
        EXPECT_EQ(options.language, c.language);
    }
}

TEST(CommandLineTest, ArgumentsJoinedBehindTheProgramName) {
    const char* argv[] = {"/opt/x -fast/upkeep", "-fPlotter", "2"};
    EXPECT_EQ(commandLineOf(3, argv), "/opt/x -fast/upkeep -fPlotter 2");
    EXPECT_EQ(commandLineOf(1, argv), "/opt/x -fast/upkeep");
}

class StartupTest : public ::testing::Test {
  protected:
    ~StartupTest() override { resources::setCurrentTable(resources::Table::EnglishUS); }

    StartupResult start(const std::string& line) {
        StartupSources sources;
        sources.readRequest = [&](StartOptions& o) {
            o.mediaMode = requestMedia;
            o.firmwareMode = requestFirmware;
            if (requestArgument)
                o.argument = requestArgument;
        };
        sources.languageSetting = [&](std::uint8_t& out) {
            out = setting.value_or(0);
            return setting.has_value();
        };
        sources.catalogue = [&] { return catalogue; };
        sources.locale = [&](const char* name) {
            return std::string(name) == "LANG" ? locale : nullptr;
        };
        return runStartup(view, line, sources);
    }

    platform::ScopedTimeScale scale{0.001};
    test::FakeStartupView view;
    std::uint32_t requestMedia = 0, requestFirmware = 0;
    const char* requestArgument = nullptr;
    std::optional<std::uint8_t> setting;
    const char* locale = "C";
    FirmwareCatalogue notLoaded;
    FirmwareCatalogue* catalogue = &notLoaded;
};

TEST_F(StartupTest, ModeChoiceAndCatalogueCheck) {
    upkeep::test::SamplePackage package;
    struct Case {
        const char* line;
        std::optional<int> choice;
        bool loaded;
        std::uint32_t requestMedia;
        const char* requestArgument;
        StartupEnd end;
        int choices;
        std::uint32_t firmware, media;  // the mode the main window is shown with
    };
    using E = StartupEnd;
    const auto none = std::nullopt;
    const Case cases[] = {
        {"upkeep", none, false, 0, nullptr, E::ChoiceCanceled, 1, 0, 0},
        {"upkeep -f", none, false, 0, nullptr, E::CatalogueMissing, 0, 0, 0},
        {"upkeep", 0, false, 0, nullptr, E::CatalogueMissing, 1, 0, 0},
        {"upkeep -f", none, true, 0, nullptr, E::MainWindowClosed, 0, 1, 0},
        {"upkeep -ofile.pdw", none, false, 0, nullptr, E::MainWindowClosed, 0, 0, 1},
        {"upkeep", 1, false, 0, nullptr, E::MainWindowClosed, 1, 0, 1},
        // The request file's media word with -f: both modes, and media mode
        // skips the catalogue check.
        {"upkeep -fPlotter", none, false, 1, "paper.pdw", E::MainWindowClosed, 0, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        view = test::FakeStartupView();
        view.choice = c.choice;
        view.webLinkNext = true;
        catalogue = c.loaded ? &package.catalogue() : &notLoaded;
        requestMedia = c.requestMedia;
        requestArgument = c.requestArgument;
        const auto began = std::chrono::steady_clock::now();
        StartupResult result = start(c.line);
        // The printers get their 2 seconds before the first window, scaled.
        EXPECT_GE(std::chrono::steady_clock::now() - began,
                  platform::Clock::scaled(std::chrono::milliseconds(2000)));
        EXPECT_EQ(result.end, c.end);
        EXPECT_EQ(view.choices, c.choices);
        if (c.end == StartupEnd::CatalogueMissing) {
            ASSERT_EQ(view.webLinks.size(), 1u);
            EXPECT_EQ(view.webLinks[0].header, 0);
            EXPECT_EQ(view.webLinks[0].body, 180);
            EXPECT_EQ(view.openedUrls.size(), 1u);
        } else {
            EXPECT_TRUE(view.webLinks.empty());
        }
        EXPECT_EQ(view.mainWindows, c.end == StartupEnd::MainWindowClosed ? 1 : 0);
        if (c.end == StartupEnd::MainWindowClosed) {
            EXPECT_EQ(view.shownOptions.firmwareMode, c.firmware);
            EXPECT_EQ(view.shownOptions.mediaMode, c.media);
        }
    }
    EXPECT_EQ(view.shownOptions.argument.str(), "Plotter") << "the option beats the request file";

    // A refused argument is told, and nothing is done with it.
    view = test::FakeStartupView();
    start("upkeep -o" + std::string(300, 'p'));
    EXPECT_EQ(view.texts(), std::vector<std::string>{resources::text(269)});
    EXPECT_EQ(view.shownOptions.argument.str(), "");
}

TEST_F(StartupTest, LanguageFromOptionSettingOrLocale) {
    struct Case {
        const char* line;
        std::optional<std::uint8_t> setting;
        const char* locale;
        resources::Table table;
    };
    const Case cases[] = {
        {"upkeep -l 7", std::nullopt, "fr_FR.UTF-8", resources::Table::German},
        {"upkeep -l 17", std::nullopt, "ja_JP.UTF-8", resources::Table::Japanese},
        {"upkeep", 12, "de_DE", resources::Table::French},
        {"upkeep -l 16", 12, "de_DE", resources::Table::Italian},
        // The setting stored as the text "9": its lowest byte is 57, no table.
        {"upkeep", 57, "fr_FR", resources::Table::French},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        view = test::FakeStartupView();
        view.choice.reset();
        setting = c.setting;
        locale = c.locale;
        start(c.line);
        EXPECT_EQ(resources::currentTable(), c.table);
        EXPECT_EQ(view.choices, 1) << "a language option chooses no mode";
    }
}

}  // namespace
}  // namespace upkeep::app
