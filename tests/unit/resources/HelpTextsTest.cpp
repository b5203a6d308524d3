#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "resources/Menus.h"
#include "support/Paths.h"

namespace upkeep::resources {
namespace {

std::string helpText(Table table) {
    std::ifstream in(test::sourceDir() + "/src/resources/help/" + languageCode(table) + ".txt",
                     std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string withoutDots(std::string text) {
    while (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
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
              "upkeepctl catalogue", "upkeepctl query"}) {
            EXPECT_NE(help.find(command), std::string::npos)
                << languageCode(table) << ".txt lacks " << command;
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
