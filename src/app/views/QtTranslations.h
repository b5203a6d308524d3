#pragma once
// Qt's own texts (the file dialog, standard buttons, context menus) in the
// language of the current string table.

#include "resources/Strings.h"

namespace upkeep::app::views {

// The Qt locale name of a string table's language: "de_DE", "pt_BR", "zh_TW", ...
const char* qtLocaleName(resources::Table table);

// Loads Qt's translations for the current string table when it differs
// from the one loaded last; English needs none. Cheap to call before every
// window.
void followStringTable();

}  // namespace upkeep::app::views
