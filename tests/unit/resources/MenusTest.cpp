#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "resources/Menus.h"
#include "support/Paths.h"

namespace upkeep::resources {
namespace {

struct Layout {
    std::vector<std::vector<int>> ids;  // per popup: command ids, 0 for separators
    std::vector<int> checked;
    bool operator==(const Layout&) const = default;
};

void PrintTo(const Layout& layout, std::ostream* out) {
    *out << "popups " << ::testing::PrintToString(layout.ids) << ", checked "
         << ::testing::PrintToString(layout.checked);
}

Layout layoutOf(Table table) {
    Layout layout;
    for (const MenuPopup& popup : mainMenu(table)) {
        layout.ids.emplace_back();
        for (const MenuItem& item : popup.items) {
            layout.ids.back().push_back(item.commandId);
            if (item.checked)
                layout.checked.push_back(item.commandId);
        }
    }
    return layout;
}

const MenuItem* findItem(Table table, int commandId) {
    for (const MenuPopup& popup : mainMenu(table)) {
        for (const MenuItem& item : popup.items) {
            if (item.commandId == commandId)
                return &item;
        }
    }
    return nullptr;
}

// The mnemonic character of a label, lower-cased; 0 when it has none.
char mnemonicOf(std::string_view label) {
    for (std::size_t i = 0; i + 1 < label.size(); ++i) {
        if (label[i] != '&')
            continue;
        if (label[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::tolower(static_cast<unsigned char>(label[i + 1])));
    }
    return 0;
}

std::string withoutDots(std::string text) {
    while (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

TEST(MainMenu, EveryLanguageHasTheCommandTable) {
    using namespace command;
    const Layout expected = {
        {{kFileNew, 0, kFileExit},
         {kViewAllPrinters, kViewSupportedPrinters, 0, kViewRefresh},
         {kMediaAddProfiles, kMediaViewProfiles},
         {kSystemUpgrade, kSystemDowngrade, kSystemEmergency},
         {kHelpContents, 0, kHelpAbout}},
        {kViewSupportedPrinters},
    };
    for (Table table : allTables()) {
        EXPECT_EQ(layoutOf(table), expected) << tableName(table);
        EXPECT_EQ(findItem(table, kCommunityName), nullptr) << tableName(table);
    }
}

TEST(MainMenu, LabelsAreTranslatedAndMnemonicsDoNotClash) {
    for (Table table : allTables()) {
        std::set<char> topLevel;
        for (const MenuPopup& popup : mainMenu(table)) {
            EXPECT_FALSE(plainLabel(popup.label).empty()) << tableName(table);
            char key = mnemonicOf(popup.label);
            EXPECT_NE(key, 0) << tableName(table) << ": " << popup.label;
            EXPECT_TRUE(topLevel.insert(key).second) << tableName(table) << ": " << popup.label;
            std::set<char> inPopup;
            for (const MenuItem& item : popup.items) {
                if (item.isSeparator())
                    continue;
                char itemKey = mnemonicOf(item.label);
                EXPECT_NE(itemKey, 0) << tableName(table) << ": " << item.label;
                EXPECT_TRUE(inPopup.insert(itemKey).second)
                    << tableName(table) << ": " << item.label;
            }
        }
    }
}

// String 253 sends the user to File/New and View/All Printers: it must name them as the
// menu of the same language does.
TEST(MainMenu, HintTextNamesTheMenuItemsOfItsLanguage) {
    for (Table table : allTables()) {
        std::span<const MenuPopup> menu = mainMenu(table);
        ASSERT_EQ(menu.size(), 5u);
        const std::string hint = text(table, 253);
        for (const char* label :
             {menu[0].label, findItem(table, command::kFileNew)->label, menu[1].label,
              findItem(table, command::kViewAllPrinters)->label}) {
            std::string plain = withoutDots(plainLabel(label));
            EXPECT_NE(hint.find(plain), std::string::npos)
                << tableName(table) << ": string 253 does not name \"" << plain << '"';
        }
    }
}

TEST(MainMenu, PlainLabelDropsMnemonicMarks) {
    const struct {
        const char* label;
        const char* plain;
    } cases[] = {
        {"E&xit", "Exit"},
        {"&About Upkeep...", "About Upkeep..."},
        {"ファイル(&F)", "ファイル"},
        {"Upkeep のバージョン情報(&A)...", "Upkeep のバージョン情報..."},
        {"関於 Upkeep (&A)", "関於 Upkeep"},
        {"Save && Quit", "Save & Quit"},
        {"(&)", "()"},
        {"trailing&", "trailing"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plainLabel(c.label), c.plain) << c.label;
}

std::string helpText(Table table) {
    std::ifstream in(test::sourceDir() + "/src/resources/help/" + languageCode(table) + ".txt",
                     std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each language's help file exists and names that language's menu entries as its menu
// shows them, so the help cannot drift from the menu it explains.
TEST(HelpTexts, EveryLanguageExplainsItsOwnMenusAndTheTool) {
    for (Table table : allTables()) {
        const std::string help = helpText(table);
        ASSERT_FALSE(help.empty()) << "no help file " << languageCode(table) << ".txt";
        EXPECT_EQ(help.find('\r'), std::string::npos) << languageCode(table);
        for (const char* command :
             {"upkeepctl check", "upkeepctl upgrade", "upkeepctl downgrade", "upkeepctl send",
              "upkeepctl profiles", "upkeepctl add-profile", "upkeepctl printers",
              "upkeepctl catalogue", "upkeepctl query", "Ctrl+Shift+C"}) {
            EXPECT_NE(help.find(command), std::string::npos)
                << languageCode(table) << ".txt lacks " << command;
        }
        for (const char* mark : {" ?", " !", " :", " ;"}) {
            if (table == Table::French) {
                EXPECT_EQ(help.find(mark), std::string::npos) << "fr.txt has \"" << mark << '"';
            }
        }
        for (const MenuPopup& popup : mainMenu(table)) {
            std::string name = plainLabel(popup.label);
            EXPECT_NE(help.find(name), std::string::npos)
                << languageCode(table) << ".txt does not name menu " << name;
            for (const MenuItem& item : popup.items) {
                if (item.isSeparator())
                    continue;
                std::string label = withoutDots(plainLabel(item.label));
                EXPECT_NE(help.find(label), std::string::npos)
                    << languageCode(table) << ".txt does not name " << name << "/" << label;
            }
        }
    }
}

}  // namespace
}  // namespace upkeep::resources
