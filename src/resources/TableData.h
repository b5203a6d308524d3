#pragma once
// The compiled-in tables, as the generator writes them (internal).

#include <cstddef>

#include "resources/Menus.h"
#include "resources/Strings.h"

namespace upkeep::resources::detail {

inline constexpr int kSlotCount = kLastStringId - kFirstStringId + 1;

struct TableData {
    const char* fileStem;
    const char* const* texts;  // kSlotCount slots, by number; null where the table has none
    const MenuPopup* menu;
    std::size_t menuSize;
};

extern const TableData kTableData[kTableCount];

}  // namespace upkeep::resources::detail
