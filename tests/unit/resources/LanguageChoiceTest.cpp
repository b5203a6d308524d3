#include <gtest/gtest.h>

#include <map>
#include <string>

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

TEST_F(LanguageChoice, LanguageNumbersWithATableWinOverTheLocale) {
    const struct {
        std::uint8_t language;
        Table expected;
    } cases[] = {
        {7, Table::German},  {9, Table::EnglishUS}, {10, Table::SpanishTraditional},
        {12, Table::French}, {16, Table::Italian},  {22, Table::PortugueseBrazil},
    };
    for (const auto& c : cases) {
        setCurrentTable(Table::Korean);
        EXPECT_EQ(chooseLanguage(c.language, environmentOf({{"LANG", "ja_JP.UTF-8"}})), c.expected)
            << int(c.language);
        EXPECT_EQ(currentTable(), c.expected) << int(c.language);
    }
}

TEST_F(LanguageChoice, OtherNumbersLeaveTheChoiceToTheLocale) {
    const struct {
        std::uint8_t language;
        const char* what;
    } cases[] = {
        {0, "no setting"},
        {17, "-l 17 (Japanese has no language number)"},
        {57, "LANG stored as the text 9: its lowest byte is the digit's code"},
        {8, "a neighbour of German"},
        {128, "128"},
        {255, "largest"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chooseLanguage(c.language, environmentOf({{"LANG", "fr_FR.UTF-8"}})),
                  Table::French)
            << c.what;
        EXPECT_EQ(chooseLanguage(c.language, environmentOf({})), Table::EnglishUS) << c.what;
    }
}

TEST_F(LanguageChoice, LocaleNamesToTables) {
    const struct {
        const char* locale;
        Table expected;
    } cases[] = {
        {"zh_TW.UTF-8", Table::ChineseTraditional},
        {"zh_HK", Table::ChineseTraditional},
        {"zh_MO.UTF-8", Table::ChineseTraditional},
        {"zh_CN.UTF-8", Table::ChineseSimplified},
        {"zh_SG", Table::ChineseSimplified},
        {"zh", Table::ChineseSimplified},
        {"es_ES.UTF-8", Table::SpanishModern},
        {"es_MX", Table::SpanishModern},
        {"ja_JP.eucJP", Table::Japanese},
        {"ko_KR.UTF-8", Table::Korean},
        {"pt_BR.UTF-8", Table::PortugueseBrazil},
        {"pt_PT", Table::PortugueseBrazil},
        {"de_DE@euro", Table::German},
        {"de_AT.ISO-8859-1@euro", Table::German},
        {"fr_CA.UTF-8", Table::French},
        {"it_IT", Table::Italian},
        {"en_GB.UTF-8", Table::EnglishUS},
        {"sv_SE.UTF-8", Table::EnglishUS},
        {"C", Table::EnglishUS},
        {"C.UTF-8", Table::EnglishUS},
        {"POSIX", Table::EnglishUS},
        {"", Table::EnglishUS},
        {"dexx", Table::EnglishUS},
        {"zhx_TW", Table::EnglishUS},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tableForLocale(c.locale), c.expected) << '"' << c.locale << '"';
        EXPECT_EQ(chooseLanguage(0, environmentOf({{"LANG", c.locale}})), c.expected)
            << '"' << c.locale << '"';
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

TEST_F(LanguageChoice, LanguageCodeFollowsTheChosenTable) {
    chooseLanguage(7, environmentOf({}));
    EXPECT_STREQ(languageCode(), "de");
    chooseLanguage(0, environmentOf({{"LANG", "zh_TW.UTF-8"}}));
    EXPECT_STREQ(languageCode(), "tw");
    EXPECT_STREQ(text(140), "取消");
    chooseLanguage(10, environmentOf({}));
    EXPECT_STREQ(languageCode(), "es");
    chooseLanguage(0, environmentOf({{"LANG", "xx_YY"}}));
    EXPECT_STREQ(languageCode(), "en");
    EXPECT_STREQ(text(140), "Cancel");
}

}  // namespace
}  // namespace upkeep::resources
