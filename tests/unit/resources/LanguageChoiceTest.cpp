#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "resources/Strings.h"

namespace upkeep::resources {
namespace {

// An environment made of the given variables only, so the machine's own locale never leaks in.
EnvironmentLookup environmentOf(std::map<std::string, std::string> variables) {
    return [variables = std::move(variables)](const char* name) -> const char* {
        auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
}

class LanguageChoice : public ::testing::Test {
  protected:
    void TearDown() override { setCurrentTable(Table::EnglishUS); }
};

// A language number with a table of its own wins over the locale; any other
// number leaves the choice to the locale.
TEST_F(LanguageChoice, LanguageNumbersThenTheLocale) {
    const struct {
        std::uint8_t language;
        std::optional<Table> table;  // none: the locale decides
    } cases[] = {
        {7, Table::German},  {9, Table::EnglishUS}, {10, Table::SpanishTraditional},
        {12, Table::French}, {16, Table::Italian},  {22, Table::PortugueseBrazil},
        {0, std::nullopt},   // no setting
        {17, std::nullopt},  // Japanese has no language number
        {57, std::nullopt},  // LANG stored as the text 9: the digit's code
        {8, std::nullopt},   // a neighbour of German
        {128, std::nullopt}, {255, std::nullopt},
    };
    for (const auto& c : cases) {
        setCurrentTable(Table::Korean);
        Table withLocale = chooseLanguage(c.language, environmentOf({{"LANG", "ja_JP.UTF-8"}}));
        EXPECT_EQ(withLocale, c.table.value_or(Table::Japanese)) << int(c.language);
        EXPECT_EQ(currentTable(), withLocale) << int(c.language);
        EXPECT_EQ(chooseLanguage(c.language, environmentOf({})), c.table.value_or(Table::EnglishUS))
            << int(c.language);
    }
}

TEST_F(LanguageChoice, LocaleNamesToTables) {
    const std::map<Table, std::vector<const char*>> cases = {
        {Table::ChineseTraditional, {"zh_TW.UTF-8", "zh_HK", "zh_MO.UTF-8"}},
        {Table::ChineseSimplified, {"zh_CN.UTF-8", "zh_SG", "zh"}},
        {Table::SpanishModern, {"es_ES.UTF-8", "es_MX"}},
        {Table::Japanese, {"ja_JP.eucJP"}},
        {Table::Korean, {"ko_KR.UTF-8"}},
        {Table::PortugueseBrazil, {"pt_BR.UTF-8", "pt_PT"}},
        {Table::German, {"de_DE@euro", "de_AT.ISO-8859-1@euro"}},
        {Table::French, {"fr_CA.UTF-8"}},
        {Table::Italian, {"it_IT"}},
        {Table::EnglishUS,
         {"en_GB.UTF-8", "sv_SE.UTF-8", "C", "C.UTF-8", "POSIX", "", "dexx", "zhx_TW"}},
    };
    for (const auto& [expected, locales] : cases) {
        for (const char* locale : locales) {
            EXPECT_EQ(tableForLocale(locale), expected) << '"' << locale << '"';
            EXPECT_EQ(chooseLanguage(0, environmentOf({{"LANG", locale}})), expected)
                << '"' << locale << '"';
        }
    }
}

TEST_F(LanguageChoice, VariablesAreReadInTheCLibrarysOrder) {
    const struct {
        std::map<std::string, std::string> environment;
        Table expected;
    } cases[] = {
        {{{"LC_ALL", "de_DE"}, {"LC_MESSAGES", "fr_FR"}, {"LANG", "it_IT"}}, Table::German},
        {{{"LC_MESSAGES", "fr_FR"}, {"LANG", "it_IT"}}, Table::French},
        {{{"LANG", "it_IT"}}, Table::Italian},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "ko_KR"}}, Table::Korean},
        {{{"LC_CTYPE", "ja_JP"}, {"LANGUAGE", "ja"}}, Table::EnglishUS},  // not the messages'
        {{{"LC_ALL", "C"}, {"LANG", "de_DE"}}, Table::EnglishUS},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseLanguage(0, environmentOf(c.environment)), c.expected);
    EXPECT_EQ(messagesLocale(nullptr), "");
}

}  // namespace
}  // namespace upkeep::resources
