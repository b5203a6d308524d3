// upkeepctl profiles: the media profiles installed in a printer, trimmed and
// sorted as the desktop program's list shows them.

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "media/MediaProfileList.h"
#include "printer/Printer.h"

namespace upkeep::cli {

int profilesCommand(const Args& args);

namespace {

std::string trimmed(const std::string& text) {
    auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), blank);
    auto end = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return begin < end ? std::string(begin, end) : std::string();
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

// An entry is its ink set and its media name, each in a 20-column field
// with one space between; a longer ink set pushes the name right.
std::pair<std::string, std::string> profileColumns(const std::string& text) {
    std::size_t gap = text.size() > 20 && text[20] == ' ' ? 20 : text.find("  ");
    if (gap == std::string::npos)
        gap = text.find(' ');
    if (gap == std::string::npos)
        return {trimmed(text), {}};
    return {trimmed(text.substr(0, gap)), trimmed(text.substr(gap))};
}

}  // namespace

int profilesCommand(const Args& args) {
    const Command* self = &commands().front();
    for (const Command& c : commands()) {
        if (std::string_view(c.name) == "profiles")
            self = &c;
    }
    Options options;
    if (auto code = parseOptions(*self, args, options, {"--json", "--community"}))
        return *code;
    if (options.positional.size() != 1)
        return usageError(*self, message(text::kExpected, {"TARGET"}));
    auto port = resolveTarget(options.positional[0]);
    if (!port)
        return usageError(*self, targetError(options.positional[0]));

    Printer printer(options.positional[0], *port);
    std::shared_ptr<MediaProfileList> listing = printer.prepareListing();
    MediaProfileList& list = *listing;
    std::vector<std::string> profiles;
    for (std::size_t i = 0; i < list.count(); ++i)
        profiles.push_back(trimmed(list.entry(i)));
    if (!list.reached())
        return fail(kExitFailed, message(259));
    std::stable_sort(profiles.begin(), profiles.end(), lessIgnoringCase);

    if (options.json) {
        std::printf("[");
        for (std::size_t i = 0; i < profiles.size(); ++i) {
            const auto [inkSet, media] = profileColumns(profiles[i]);
            std::printf("%s{\"inkSet\": %s, \"media\": %s, \"text\": %s}", i ? ", " : "",
                        jsonString(inkSet).c_str(), jsonString(media).c_str(),
                        jsonString(profiles[i]).c_str());
        }
        std::printf("]\n");
    } else if (profiles.empty()) {
        std::printf("%s\n", message(265).c_str());
    } else {
        for (const std::string& p : profiles)
            std::printf("%s\n", terminalText(p).c_str());
    }
    return kExitOk;
}

}  // namespace upkeep::cli
