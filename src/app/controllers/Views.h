#pragma once
// What the windows show and ask, as the controllers see them. The Qt
// widgets implement these; the tests implement them with scripted answers.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace upkeep::app {

enum class MessageIcon { Information, Warning };

// A modeless display the controller owns: releasing it releases the window.
class SearchingDisplay {
  public:
    virtual ~SearchingDisplay() = default;
    virtual void setCounter(const std::string& text) = 0;
    virtual void setPrinterName(const std::string& text) = 0;
    virtual void repaint() = 0;
    // Closes the window; the object stays until it is released.
    virtual void close() = 0;
};

class SendingDisplay {
  public:
    virtual ~SendingDisplay() = default;
    virtual void setStatusLine(const std::string& text) = 0;
    // The share of the file taken, 0 to kProgressWhole.
    virtual void setProgress(int share) = 0;
    virtual void repaint() = 0;
    virtual void close() = 0;
};

// The media profile list dialog: made modelessly, filled while shown, then
// run modally until the user closes it; releasing it releases the window.
class ProfileListDisplay {
  public:
    virtual ~ProfileListDisplay() = default;
    virtual void addLine(const std::string& text) = 0;
    virtual void clearLines() = 0;
    virtual void repaint() = 0;
    virtual void runModal() = 0;
};

// The dialogs the start-up and the main window share.
class DialogView {
  public:
    virtual ~DialogView() = default;
    // Message box with caption string 190.
    virtual void messageBox(MessageIcon icon, const std::string& text) = 0;
    // One wizard page; a body or button-text id of 0 shows a single blank.
    // True: Next.
    virtual bool wizardPage(int titleId, int headerId, int bodyId, int buttonTextId) = 0;
    // The web-link page (header id 0: none). True: Next.
    virtual bool webLink(int headerId, int bodyId, const std::string& address) = 0;
    // Hands the address to the desktop's URL handler; false when none took
    // it (the user has been told, with the address to copy).
    virtual bool openUrl(const std::string& address) = 0;
};

struct ListRow {
    int icon = 0;
    std::string name;
    std::string state;
    std::string model;
    std::string version;
};

enum class FileKind { SystemSoftware, MediaProfile };

struct AddressAnswer {
    int kind = 0;  // 0 TCP/IP, 1 IPX
    std::string text;
};

class MainView : public DialogView {
  public:
    // The list view.
    virtual void clearRows() = 0;
    virtual void insertRow(int position, const ListRow& row) = 0;
    virtual int rowCount() = 0;
    virtual std::string rowName(int row) = 0;
    virtual std::optional<int> selectedRow() = 0;
    virtual void redrawRows() = 0;
    // The check marks of View/All Printers and View/Supported Printers.
    virtual void setViewChecks(bool all) = 0;

    // The modeless dialogs; onCancel runs when the user cancels one.
    virtual std::unique_ptr<SearchingDisplay> openSearching(std::function<void()> onCancel) = 0;
    virtual std::unique_ptr<SendingDisplay> openSending(std::function<void()> onCancel) = 0;
    // Runs work on a thread of its own and returns once it has ended. Until
    // then the window keeps painting and answering, the displays shown stay
    // painted, and the workers' reports wait, as they do for a modal dialog.
    virtual void runBusy(const std::function<void()>& work) = 0;
    // Timer 1: progressTick every 1000 ms while it runs.
    virtual void startProgressTimer() = 0;
    virtual void stopProgressTimer() = 0;

    virtual bool ctrlHeld() = 0;
    virtual std::optional<std::string> chooseFile(FileKind kind) = 0;
    // The version dialog of a downgrade: the chosen line, or none on Cancel.
    virtual std::optional<std::string> versionDialog(const std::vector<std::string>& versions) = 0;
    // Null when the dialog could not be made.
    virtual std::unique_ptr<ProfileListDisplay> openProfileList() = 0;
    virtual std::optional<AddressAnswer> addressDialog() = 0;
    virtual std::optional<std::string> communityDialog(const std::string& current) = 0;
    // The version dialog, with the package's state (signed, unsigned,
    // untrusted) below the program's version.
    virtual void aboutDialog(const std::string& packageState) = 0;
    virtual void informationDialog(const std::string& text) = 0;
    // Ends the main window's modal run.
    virtual void closeWindow() = 0;
};

}  // namespace upkeep::app
