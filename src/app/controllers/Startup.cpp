#include "app/controllers/Startup.h"

#include <cctype>
#include <cstdlib>

#include "package/Environment.h"
#include "package/FirmwareCatalogue.h"
#include "platform/Clock.h"

namespace upkeep::app {
namespace {

constexpr platform::Millis kStartPause{2000};

// Like the C library's decimal conversion: leading blanks, a sign, digits;
// no digits give 0. Kept to its lowest 8 bits without overflowing.
std::uint8_t lowByteOfNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = (value * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFFu;
        ++i;
    }
    if (negative)
        value = (0x100u - value) & 0xFFu;
    return static_cast<std::uint8_t>(value);
}

}  // namespace

std::string commandLineOf(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            line += ' ';
        if (argv[i])
            line += argv[i];
    }
    return line;
}

void parseCommandLine(std::string_view commandLine, StartOptions& options) {
    std::string_view optionText;
    if (std::size_t at = commandLine.find(" -f"); at != std::string_view::npos) {
        options.firmwareMode = 1;
        optionText = commandLine.substr(at + 3);
    } else if (std::size_t at2 = commandLine.find(" -o"); at2 != std::string_view::npos) {
        options.mediaMode = 1;
        optionText = commandLine.substr(at2 + 3);
    }
    if (std::size_t at = commandLine.find(" -l "); at != std::string_view::npos)
        options.language = lowByteOfNumber(commandLine.substr(at + 4));
    if (optionText.size() > decltype(options.argument)::kCapacity) {
        options.argument = "";
        options.argumentRefused = true;
    } else if (!optionText.empty()) {
        options.argument.assign(optionText);
        options.argumentRefused = false;
    }
}

StartupResult runStartup(StartupView& view, std::string_view commandLine,
                         const StartupSources& sources) {
    StartupResult result;
    StartOptions& options = result.options;
    if (sources.readRequest)
        sources.readRequest(options);

    std::uint8_t language = 0;
    bool haveLanguage = false;
    if (sources.languageSetting) {
        haveLanguage = sources.languageSetting(language);
    } else if (Environment* environment = Environment::instance()) {
        haveLanguage = environment->languageSetting(language);
    }
    if (haveLanguage)
        options.language = language;

    parseCommandLine(commandLine, options);

    if (sources.locale) {
        resources::chooseLanguage(options.language, sources.locale);
    } else {
        resources::chooseLanguage(options.language);
    }

    platform::Clock::sleepFor(kStartPause);

    if (options.firmwareMode == 0 && options.mediaMode == 0) {
        std::optional<int> choice = view.choiceDialog();
        if (!choice) {
            result.end = StartupEnd::ChoiceCanceled;
            return result;
        }
        options.firmwareMode = *choice == 0 ? 1 : 0;
        options.mediaMode = *choice == 0 ? 0 : 1;
    }

    // The printer or profile named is not taken in a cut form: nothing is
    // done for it automatically, and the user is told.
    if (options.argumentRefused)
        view.messageBox(MessageIcon::Warning, resources::text(options.mediaMode ? 269 : 263));

    if (options.mediaMode == 0) {
        FirmwareCatalogue* catalogue =
            sources.catalogue ? sources.catalogue() : FirmwareCatalogue::instance();
        if (catalogue && catalogue->notLoaded() != 0) {
            const std::string address = resources::text(resources::id::kSupportSite);
            if (view.webLink(0, 180, address))
                view.openUrl(address);
            result.end = StartupEnd::CatalogueMissing;
            return result;
        }
    }

    view.runMainWindow(options);
    result.end = StartupEnd::MainWindowClosed;
    return result;
}

}  // namespace upkeep::app
