#pragma once
// The program's start: start-up request file, language setting, command
// line, language, the mode choice and the catalogue check, then the main
// window. Plain C++ over a view, so each step is tested without widgets.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/controllers/Views.h"
#include "package/StartOptions.h"
#include "resources/Strings.h"

namespace upkeep {
class FirmwareCatalogue;
}

namespace upkeep::app {

// The command line as one text: the program's name and its arguments,
// joined by single spaces.
std::string commandLineOf(int argc, const char* const* argv);

// Applies the options " -f", " -o" and " -l " found anywhere in the text
// (case-sensitive). The option text after "-f" or "-o" runs to the end of
// the line and replaces the argument when it is not empty; one too long for
// the argument is refused and leaves it empty. No option clears a mode the
// start-up request file set.
void parseCommandLine(std::string_view commandLine, StartOptions& options);

class StartupView : public DialogView {
  public:
    // The choice dialog: 0 system software, 1 media profiles; none: Cancel.
    virtual std::optional<int> choiceDialog() = 0;
    // Shows the main window modally with the options; returns when it closes.
    virtual void runMainWindow(const StartOptions& options) = 0;
};

// What the start-up reads from outside, replaceable in tests.
struct StartupSources {
    std::function<void(StartOptions&)> readRequest = &readStartupRequest;
    // The language setting: true and its lowest byte, or false.
    std::function<bool(std::uint8_t&)> languageSetting;  // empty: the Environment
    std::function<FirmwareCatalogue*()> catalogue;       // empty: the program's catalogue
    resources::EnvironmentLookup locale;                 // empty: the process environment
};

enum class StartupEnd {
    MainWindowClosed,
    ChoiceCanceled,
    CatalogueMissing,
};

struct StartupResult {
    StartupEnd end = StartupEnd::MainWindowClosed;
    StartOptions options;  // as handed to the main window
};

StartupResult runStartup(StartupView& view, std::string_view commandLine,
                         const StartupSources& sources = {});

}  // namespace upkeep::app
