#include "resources/Menus.h"

#include "resources/TableData.h"

namespace upkeep::resources {

std::span<const MenuPopup> mainMenu(Table table) {
    auto index = static_cast<std::size_t>(table);
    const detail::TableData& data = detail::kTableData[index < kTableCount ? index : 0];
    return {data.menu, data.menuSize};
}

std::span<const MenuPopup> mainMenu() {
    return mainMenu(currentTable());
}

std::string plainLabel(std::string_view label) {
    std::string out;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] != '&') {
            out += label[i];
            continue;
        }
        if (i + 1 < label.size() && label[i + 1] == '&') {
            out += '&';
            ++i;
            continue;
        }
        // East Asian labels show the mnemonic as "(&F)" after the text.
        if (i >= 1 && label[i - 1] == '(' && i + 2 < label.size() && label[i + 2] == ')') {
            out.pop_back();
            i += 2;
            while (!out.empty() && out.back() == ' ')
                out.pop_back();
        }
    }
    return out;
}

}  // namespace upkeep::resources
