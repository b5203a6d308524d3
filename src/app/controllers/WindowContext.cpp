#include "app/controllers/WindowContext.h"

#include "app/controllers/Texts.h"
#include "resources/Strings.h"

namespace upkeep::app {

void WindowContext::showInfo(int stringId) {
    view().messageBox(MessageIcon::Information, resources::text(stringId));
}

void WindowContext::showWarning(int stringId, int code) {
    view().messageBox(MessageIcon::Warning, messageText(stringId, code));
}

}  // namespace upkeep::app
