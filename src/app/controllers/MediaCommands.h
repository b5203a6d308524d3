#pragma once
// The media profile commands of the main window (add a profile, view the
// installed ones) and its small dialogs: a printer by address, the SNMP
// community, the help text.

#include <memory>
#include <string>

#include "app/controllers/WindowContext.h"

namespace upkeep::app {

class MediaCommands {
  public:
    explicit MediaCommands(WindowContext& window) : window_(window) {}

    void addMediaProfileCommand();
    void addMediaProfile(const std::shared_ptr<Printer>& printer, const std::string& file);
    void viewMediaProfilesCommand();
    void fileNew();
    void communityName();
    void helpContents();

  private:
    WindowContext& window_;
};

}  // namespace upkeep::app
