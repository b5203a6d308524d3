#include "resources/Strings.h"

#include <atomic>
#include <cctype>
#include <cstdlib>

#include "resources/TableData.h"

namespace upkeep::resources {

namespace {

std::atomic<Table> g_current{Table::EnglishUS};

const detail::TableData& data(Table table) {
    auto index = static_cast<std::size_t>(table);
    return detail::kTableData[index < kTableCount ? index : 0];
}

const char* ownText(Table table, int id) {
    if (id < kFirstStringId || id > kLastStringId)
        return nullptr;
    return data(table).texts[id - kFirstStringId];
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const std::vector<Table>& allTables() {
    static const std::vector<Table> tables = {
        Table::EnglishUS,
        Table::German,
        Table::SpanishTraditional,
        Table::SpanishModern,
        Table::French,
        Table::Italian,
        Table::Japanese,
        Table::Korean,
        Table::PortugueseBrazil,
        Table::ChineseTraditional,
        Table::ChineseSimplified,
    };
    return tables;
}

const char* tableName(Table table) {
    switch (table) {
        case Table::EnglishUS:
            return "English (United States)";
        case Table::German:
            return "German";
        case Table::SpanishTraditional:
            return "Spanish (traditional sort)";
        case Table::SpanishModern:
            return "Spanish (modern sort)";
        case Table::French:
            return "French";
        case Table::Italian:
            return "Italian";
        case Table::Japanese:
            return "Japanese";
        case Table::Korean:
            return "Korean";
        case Table::PortugueseBrazil:
            return "Portuguese (Brazil)";
        case Table::ChineseTraditional:
            return "Chinese (traditional)";
        case Table::ChineseSimplified:
            return "Chinese (simplified)";
    }
    return "unknown";
}

const char* text(Table table, int id) {
    if (const char* own = ownText(table, id))
        return own;
    if (const char* english = ownText(Table::EnglishUS, id))
        return english;
    return "";
}

const char* text(int id) {
    return text(currentTable(), id);
}

std::vector<int> stringIds(Table table) {
    std::vector<int> ids;
    for (int id = kFirstStringId; id <= kLastStringId; ++id) {
        if (ownText(table, id))
            ids.push_back(id);
    }
    return ids;
}

Table currentTable() {
    return g_current.load(std::memory_order_relaxed);
}

void setCurrentTable(Table table) {
    if (static_cast<std::size_t>(table) >= kTableCount)
        table = Table::EnglishUS;
    g_current.store(table, std::memory_order_relaxed);
}

std::optional<Table> tableForLanguageNumber(std::uint8_t language) {
    // Primary language identifiers; 10 is the traditional-sort Spanish locale.
    switch (language) {
        case 7:
            return Table::German;
        case 9:
            return Table::EnglishUS;
        case 10:
            return Table::SpanishTraditional;
        case 12:
            return Table::French;
        case 16:
            return Table::Italian;
        case 22:
            return Table::PortugueseBrazil;
        default:
            return std::nullopt;
    }
}

Table tableForLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    std::string_view name = locale.substr(0, locale.find_first_of(".@"));
    std::size_t separator = name.find_first_of("_-");
    const std::string language = lower(name.substr(0, separator));
    const std::string territory =
        separator == std::string_view::npos ? std::string() : lower(name.substr(separator + 1));

    if (language == "de")
        return Table::German;
    if (language == "es")
        return Table::SpanishModern;  // what a Spanish desktop uses today
    if (language == "fr")
        return Table::French;
    if (language == "it")
        return Table::Italian;
    if (language == "ja")
        return Table::Japanese;
    if (language == "ko")
        return Table::Korean;
    if (language == "pt")
        return Table::PortugueseBrazil;  // the only Portuguese table
    if (language == "zh") {
        if (territory == "tw" || territory == "hk" || territory == "mo")
            return Table::ChineseTraditional;
        return Table::ChineseSimplified;
    }
    return Table::EnglishUS;
}

std::string messagesLocale(const EnvironmentLookup& environment) {
    if (!environment)
        return {};
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = environment(name);
        if (value && *value)
            return value;
    }
    return {};
}

Table chooseLanguage(std::uint8_t language, const EnvironmentLookup& environment) {
    Table table =
        tableForLanguageNumber(language).value_or(tableForLocale(messagesLocale(environment)));
    setCurrentTable(table);
    return table;
}

Table chooseLanguage(std::uint8_t language) {
    return chooseLanguage(language, [](const char* name) { return std::getenv(name); });
}

const char* languageCode(Table table) {
    return text(table, id::kLanguageCode);
}

const char* languageCode() {
    return languageCode(currentTable());
}

std::string helpFileName() {
    return std::string(languageCode()) + ".txt";
}

}  // namespace upkeep::resources
