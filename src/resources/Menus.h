#pragma once
// The main window's menu (resource 132) in every language, its command ids,
// the images of the program, and the dialog texts that stay English in every
// language because the dialog templates carry them.

#include <span>
#include <string>
#include <string_view>

#include "resources/Strings.h"

namespace upkeep::resources {

inline constexpr int kMainMenuId = 132;
inline constexpr int kProgramIconId = 128;  // icons/upkeep-<size>.png
inline constexpr int kStateImagesId = 130;  // icons/state-images.png: three 16x16 images

// Images of the state bitmap, left to right.
inline constexpr int kImageUnknown = 0;   // yellow square, question mark
inline constexpr int kImageUpgrade = 1;   // red square, exclamation point
inline constexpr int kImageUpToDate = 2;  // green square, check mark

// Command ids of the main window.
namespace command {
inline constexpr int kFileNew = 57600;
inline constexpr int kFileExit = 32781;
inline constexpr int kViewAllPrinters = 32791;
inline constexpr int kViewSupportedPrinters = 32790;
inline constexpr int kViewRefresh = 32792;
inline constexpr int kMediaAddProfiles = 32800;
inline constexpr int kMediaViewProfiles = 32801;
inline constexpr int kSystemUpgrade = 32810;
inline constexpr int kSystemDowngrade = 32811;
inline constexpr int kSystemEmergency = 32812;
inline constexpr int kHelpContents = 32820;
inline constexpr int kHelpAbout = 16;  // also the system-menu item of string 270
// The Community Name dialog: no menu of any language carries it.
inline constexpr int kCommunityName = 32782;
}  // namespace command

// One line of a drop-down menu. A separator has command id 0 and an empty label.
// Labels mark their mnemonic with '&' ("E&xit", "ファイル(&F)"); "&&" is a literal '&'.
struct MenuItem {
    int commandId;
    const char* label;
    bool checked;  // carries the check mark when the window opens
    bool isSeparator() const { return commandId == 0; }
};

struct MenuPopup {
    const char* label;
    std::span<const MenuItem> items;
};

// Menu 132 of the current table, and of a given table.
std::span<const MenuPopup> mainMenu();
std::span<const MenuPopup> mainMenu(Table table);

// The label without its mnemonic marks: "E&xit" -> "Exit", "ファイル(&F)" -> "ファイル",
// "&&" -> "&".
std::string plainLabel(std::string_view label);

// Texts of the dialog templates, the same in every language.
namespace fixed {
inline constexpr const char* kMainWindowTitle = "Meridot Upkeep";
inline constexpr const char* kTcpIpChoice = "TCP/IP:";
inline constexpr const char* kIpxChoice = "IPX:";
inline constexpr const char* kCommunityTitle = "Community Name";
inline constexpr const char* kCommunityLabel = "Community Name:";
inline constexpr const char* kAboutTitle = "About Upkeep";
inline constexpr const char* kAboutName = "Upkeep";
inline constexpr const char* kAboutVersion = "Version 1.4";
inline constexpr const char* kAboutOk = "OK";
inline constexpr const char* kInformationTitle = "Varnholt Meridot Upkeep";
inline constexpr const char* kDialogCreationError = "Error creating Dialog";
// Open-file dialogs: default extension and the filter, '|'-separated pairs of
// description and pattern, ending in "||".
inline constexpr const char* kSystemFileExtension = "fmw";
inline constexpr const char* kSystemFileFilter = "System Files (*.fmw)|*.fmw||";
inline constexpr const char* kMediaProfileFilter = "Medaform (*.pdw)|*.pdw|All Files (*.*)|*.*||";
}  // namespace fixed

}  // namespace upkeep::resources
