#include "cli/Texts.h"

#include "resources/Strings.h"

namespace upkeep::cli {
namespace {

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 >= pattern.size()) {
            out += pattern[i];
        } else if (pattern[i + 1] == 's') {
            if (next != args.end())
                out += *next++;
            ++i;
        } else if (pattern[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

// The texts shown() turns back: with no placeholder, or one at the end.
constexpr int kStableTexts[] = {
    text::kSent,
    text::kOutcomeVerified,
    text::kOutcomeNotVerified,
    text::kUpToDate,
    text::kFailed,
    text::kCanceled,
    text::kWouldUpgrade,
    text::kPending,
    text::kNotAsked,
    text::kDidNotFinish,
    text::kCanceledBeforeStart,
    text::kNotVerifiedCanceled,
    text::kNotVerifiedSilent,
    text::kVerified,
    text::kNotVerifiedReports,
    text::kRefused,
    text::kCanceledBecause,
};

}  // namespace

std::string message(int id, std::initializer_list<std::string_view> args) {
    return fill(resources::text(id), args);
}

std::string english(int id, std::initializer_list<std::string_view> args) {
    return fill(resources::text(resources::Table::EnglishUS, id), args);
}

std::string shown(std::string_view value) {
    for (int id : kStableTexts) {
        const std::string_view pattern = resources::text(resources::Table::EnglishUS, id);
        if (pattern == value)
            return message(id, {});
        if (pattern.ends_with("%s")) {
            const std::string_view prefix = pattern.substr(0, pattern.size() - 2);
            if (value.starts_with(prefix)) {
                const std::string rest = shown(value.substr(prefix.size()));
                return message(id, {rest});
            }
        }
    }
    return std::string(value);
}

}  // namespace upkeep::cli
