#include "cli/Texts.h"

#include <optional>
#include <vector>

#include "resources/Strings.h"

namespace upkeep::cli {
namespace {

using resources::Table;

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

// What each %s of `pattern` stood for in `value`, or nothing when `value`
// was not made from it.
std::optional<std::vector<std::string_view>> match(std::string_view pattern,
                                                   std::string_view value) {
    std::vector<std::string_view> pieces;
    for (std::size_t from = 0;;) {
        const std::size_t at = pattern.find("%s", from);
        pieces.push_back(pattern.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos)
            break;
        from = at + 2;
    }
    if (pieces.size() == 1)
        return value == pattern ? std::optional(std::vector<std::string_view>{}) : std::nullopt;
    if (!value.starts_with(pieces.front()))
        return std::nullopt;
    std::vector<std::string_view> captures;
    std::size_t at = pieces.front().size();
    for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
        const std::size_t found = value.find(pieces[i], at);
        if (pieces[i].empty() || found == std::string_view::npos)
            return std::nullopt;
        captures.push_back(value.substr(at, found - at));
        at = found + pieces[i].size();
    }
    const std::string_view last = pieces.back();
    if (value.size() < at + last.size() || !value.ends_with(last))
        return std::nullopt;
    captures.push_back(value.substr(at, value.size() - last.size() - at));
    return captures;
}

// The English texts a value may have been made from: every entry but the
// support site's address, number, template and language code.
const std::vector<int>& englishIds() {
    static const std::vector<int> ids = [] {
        std::vector<int> all;
        for (int id : resources::stringIds(Table::EnglishUS)) {
            if (id < resources::id::kSupportSite || id > resources::id::kLanguageCode)
                all.push_back(id);
        }
        return all;
    }();
    return ids;
}

}  // namespace

std::string message(int id, std::initializer_list<std::string_view> args) {
    return fill(resources::text(id), args);
}

std::string english(int id, std::initializer_list<std::string_view> args) {
    return fill(resources::text(Table::EnglishUS, id), args);
}

std::string shown(std::string_view value) {
    if (value.empty() || resources::currentTable() == Table::EnglishUS)
        return std::string(value);
    for (int id : englishIds()) {
        auto captures = match(resources::text(Table::EnglishUS, id), value);
        if (!captures)
            continue;
        switch (captures->size()) {
            case 0:
                return message(id, {});
            case 1: {
                // "canceled: REASON": the reason may be one of ours too.
                const std::string inner = shown((*captures)[0]);
                return message(id, {inner});
            }
            case 2:
                return message(id, {(*captures)[0], (*captures)[1]});
            default:
                return message(id, {(*captures)[0], (*captures)[1], (*captures)[2]});
        }
    }
    // A text with a detail in brackets after it: "MESSAGE (5)", "MESSAGE (FILE)".
    if (value.ends_with(')')) {
        const std::size_t open = value.rfind(" (");
        if (open != std::string_view::npos && open > 0) {
            const std::string head = shown(value.substr(0, open));
            if (head != value.substr(0, open))
                return head + std::string(value.substr(open));
        }
    }
    return std::string(value);
}

std::string outcomeShown(std::string_view word) {
    static constexpr struct {
        std::string_view word;
        int id;
    } kWords[] = {
        {"sent", text::kSent},
        {"verified", text::kOutcomeVerified},
        {"notVerified", text::kOutcomeNotVerified},
        {"notApplied", text::kNotApplied},
        {"upToDate", text::kUpToDate},
        {"failed", text::kFailed},
        {"canceled", text::kCanceled},
        {"wouldUpgrade", text::kWouldUpgrade},
        {"wouldDowngrade", text::kWouldDowngrade},
    };
    for (const auto& known : kWords) {
        if (known.word == word)
            return message(known.id, {});
    }
    return shown(word);
}

}  // namespace upkeep::cli
