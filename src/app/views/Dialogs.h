#pragma once
// The program's dialogs as Qt widgets, laid out from their templates'
// positions in dialog units and converted with the dialog font's metrics
// (horizontal unit: average character width / 4; vertical: height / 8).
// Every control carries its numeric id as its object name; every text comes
// from the current string table unless the template fixes it.

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/controllers/Views.h"
#include "app/views/TextFit.h"

class QIcon;
class QWidget;

namespace upkeep::app::views {

// Dialog units of a font.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    int x(int units) const { return (units * baseX_ + 2) / 4; }
    int y(int units) const { return (units * baseY_ + 4) / 8; }
    QRect rect(int x0, int y0, int width, int height) const {
        return QRect(x(x0), y(y0), x(width), y(height));
    }
    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

  private:
    int baseX_;
    int baseY_;
};

enum class ControlKind {
    Text,    // static text, wraps
    Button,  // push button
    DefaultButton,
    Radio,     // radio button, wraps its text
    Edit,      // one-line edit, scrolls horizontally
    Progress,  // progress bar 0..kProgressWhole
    RichText,  // read-only text with a vertical scroll bar
    Icon,      // the program icon
    List,      // sorted list box with a vertical scroll bar
};

struct Control {
    int id;  // 0: none (static texts without an id)
    ControlKind kind;
    int x, y, width, height;
    QString text;
};

// A dialog built from a template: size in dialog units and its controls.
// Buttons 1 and 2 accept and reject unless a subclass rewires them.
class TemplateDialog : public QDialog {
  public:
    TemplateDialog(QWidget* parent, const QString& title, int width, int height,
                   std::initializer_list<Control> controls, int topOffset = 0);
    QWidget* control(int id) const;
    const DialogUnits& units() const { return units_; }
    // Centres the dialog on the screen of its parent (or the primary one).
    void centreOnScreen();
    // Centres the dialog over its parent (on the screen without one).
    void centreOverParent();
    // Lays the controls out again from the template, each as large as its
    // present text needs; the dialog grows with them.
    void fitToTexts();

  protected:
    DialogUnits units_;

  private:
    QSize templateSize_;
    std::vector<PlacedControl> placed_;
};

QString qtext(int stringId);
QString qstr(const std::string& text);
QIcon programIcon();
// The state images of the list view, 16x16 each.
QIcon stateImage(int index);

// The shared dialogs, modal over parent.
void showMessage(QWidget* parent, MessageIcon icon, const std::string& text);
bool runWizardPage(QWidget* parent, int titleId, int headerId, int bodyId, int buttonTextId);
bool runWebLink(QWidget* parent, int headerId, int bodyId);
// Opens the address in the user's browser; when none opens, says so in a
// message box that shows the address to copy, and gives false.
bool openAddress(QWidget* parent, const std::string& address);
std::optional<int> runChoiceDialog(QWidget* parent);
std::optional<AddressAnswer> runAddressDialog(QWidget* parent);
std::optional<std::string> runCommunityDialog(QWidget* parent, const std::string& current);
// The version dialog; the package's state is its last line.
void runAboutDialog(QWidget* parent, const std::string& packageState);
void runInformationDialog(QWidget* parent, const std::string& text);
std::optional<std::string> chooseOpenFile(QWidget* parent, FileKind kind);
// Template 307: the chosen version, or none on Cancel.
std::optional<std::string> runVersionDialog(QWidget* parent,
                                            const std::vector<std::string>& versions);
// Template 306, shown at once over its parent; run modally through the display.
std::unique_ptr<ProfileListDisplay> openProfileListDialog(QWidget* parent);

// The modeless dialogs.
std::unique_ptr<SearchingDisplay> openSearchingDialog(QWidget* parent,
                                                      std::function<void()> onCancel);
std::unique_ptr<SendingDisplay> openSendingDialog(QWidget* parent, std::function<void()> onCancel);

// Hooks for tests: called with each modal dialog just before it runs, so a
// test can answer it (the dialog is deleted after it returns).
void setModalHook(std::function<void(QDialog*)> hook);

// Whether one of the program's modal dialogs (a message box, a wizard page,
// the file dialog...) is open, or a printer exchange runs off the window's
// thread (ModalScope): worker reports wait until it has ended.
bool modalDialogOpen();

// Counts as an open modal dialog while it lives.
class ModalScope {
  public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

}  // namespace upkeep::app::views
