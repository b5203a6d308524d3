#pragma once
// The numbered user-interface texts in eleven languages, compiled in from
// the tables under resources/strings/, and the choice of the current table.
//
// Every text the user sees is looked up by number at the moment it is shown,
// so the core passes numbers and the front ends (GUI and CLI) speak the same
// language. No Qt in here.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace upkeep::resources {

// The string tables, in the order their files are compiled in.
enum class Table : std::uint8_t {
    EnglishUS,
    German,
    SpanishTraditional,  // reached with language number 10
    SpanishModern,       // reached through an "es" locale
    French,
    Italian,
    Japanese,
    Korean,
    PortugueseBrazil,
    ChineseTraditional,
    ChineseSimplified,
};
inline constexpr std::size_t kTableCount = 11;

// All tables, in enum order.
const std::vector<Table>& allTables();

// A short English name for logs and tests, e.g. "Spanish (modern sort)".
const char* tableName(Table table);

// The range of string numbers the tables use.
inline constexpr int kFirstStringId = 140;
inline constexpr int kLastStringId = 319;

// Numbers of the texts a caller needs by meaning rather than by position.
namespace id {
inline constexpr int kMessageCaption = 190;   // "Upkeep": caption of every message box
inline constexpr int kAboutItem = 270;        // system-menu item "About Upkeep..."
inline constexpr int kSupportSite = 280;      // the maker's support web site
inline constexpr int kSiteNumber = 281;       // "4" in every language
inline constexpr int kSupportTemplate = 282;  // printf template: version, code, site, model
inline constexpr int kLanguageCode = 283;     // "en", "de", "es", ...
inline constexpr int kNoBrowser = 295;        // no browser opened: the address follows
}  // namespace id

// The text of `id` in the current table; the English text when the table has
// none; "" for a number no table holds. Never null.
const char* text(int id);
const char* text(Table table, int id);

// The numbers a table holds itself (without the English fallback), ascending.
std::vector<int> stringIds(Table table);

// The table used by text(int) and mainMenu(). Safe to call from any thread.
Table currentTable();
void setCurrentTable(Table table);

// The table a language number selects (7, 9, 10, 12, 16, 22), if any.
std::optional<Table> tableForLanguageNumber(std::uint8_t language);

// The table for a POSIX locale name such as "zh_TW.UTF-8" or "de_DE@euro";
// English for a locale without a table ("C", "POSIX", "sv_SE", "").
Table tableForLocale(std::string_view locale);

// Reads one environment variable: null or "" when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The locale that governs messages, in the C library's order: LC_ALL, then
// LC_MESSAGES, then LANG; the first one set to a non-empty value wins.
std::string messagesLocale(const EnvironmentLookup& environment);

// Chooses the user-interface language at start-up: a language number with a
// table selects it; any other number, 0 included, leaves the choice to the
// locale of the environment. Sets and returns the current table.
Table chooseLanguage(std::uint8_t language, const EnvironmentLookup& environment);
Table chooseLanguage(std::uint8_t language);  // the process environment

// String 283 of the current table ("en", "de", ...), and of a given table.
const char* languageCode();
const char* languageCode(Table table);

// The name of the help file of the current table: the language code and ".txt".
std::string helpFileName();

// Where `make install` puts the help files (for a front end that does not run
// in that directory).
const char* installedHelpDirectory();

}  // namespace upkeep::resources
