#pragma once
// The main window (template 301): menu 132, the list of printers and the
// Exit button, over the main window's controller. It only shows and
// forwards: every decision is the controller's.

#include <QDialog>
#include <QTimer>
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "app/controllers/MainController.h"
#include "app/controllers/Startup.h"
#include "app/controllers/UiQueue.h"
#include "app/controllers/Views.h"
#include "app/views/Dialogs.h"

class QAction;
class QMenuBar;
class QPushButton;
class QTreeWidget;

namespace upkeep::app::views {

// Calls from the workers, queued onto the main window's event loop. While
// one of the program's modal dialogs is open they are held, in order, and
// run once it has closed: a report handled inside a dialog's own event loop
// would act in the middle of the flow that opened it (a second message on
// top of the wizard). Once detached (the window is going) nothing more is
// queued.
class QtUiQueue final : public UiQueue {
  public:
    static constexpr int kRetryMs = 20;

    explicit QtUiQueue(QObject* target) : target_(target) {}
    void post(std::function<void()> call) override;
    void detach();

  private:
    // On the user-interface thread.
    void deliver(std::function<void()> call);
    void flush();

    std::mutex mutex_;
    QObject* target_;
    std::deque<std::function<void()>> held_;  // user-interface thread only
    bool flushScheduled_ = false;             // user-interface thread only
};

class MainWindow : public QDialog, public MainView {
  public:
    static constexpr QKeyCombination kCommunityShortcut{Qt::CTRL | Qt::SHIFT, Qt::Key_C};

    explicit MainWindow(const StartOptions& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainController& controller() { return *controller_; }
    QTreeWidget* listView() const { return list_; }
    QAction* commandAction(int commandId) const;

    // MainView.
    void messageBox(MessageIcon icon, const std::string& text) override;
    bool wizardPage(int titleId, int headerId, int bodyId, int buttonTextId) override;
    bool webLink(int headerId, int bodyId, const std::string& address) override;
    bool openUrl(const std::string& address) override;
    void clearRows() override;
    void insertRow(int position, const ListRow& row) override;
    int rowCount() override;
    std::string rowName(int row) override;
    std::optional<int> selectedRow() override;
    void redrawRows() override;
    void setViewChecks(bool all) override;
    std::unique_ptr<SearchingDisplay> openSearching(std::function<void()> onCancel) override;
    std::unique_ptr<SendingDisplay> openSending(std::function<void()> onCancel) override;
    void runBusy(const std::function<void()>& work) override;
    void startProgressTimer() override;
    void stopProgressTimer() override;
    bool ctrlHeld() override;
    std::optional<std::string> chooseFile(FileKind kind) override;
    std::optional<std::string> versionDialog(const std::vector<std::string>& versions) override;
    std::unique_ptr<ProfileListDisplay> openProfileList() override;
    std::optional<AddressAnswer> addressDialog() override;
    std::optional<std::string> communityDialog(const std::string& current) override;
    void aboutDialog(const std::string& packageState) override;
    void informationDialog(const std::string& text) override;
    void closeWindow() override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    // Exit, Enter, Escape and the close box during a printer exchange close
    // the window once it has ended.
    void done(int result) override;

  private:
    static constexpr int kColumns = 4;
    void buildMenu(QMenuBar* bar);
    void fitWindow();
    void layOut();

    std::shared_ptr<QtUiQueue> queue_;
    QMenuBar* menuBar_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QTimer timer_;
    DialogUnits units_;
    // Column widths at the smallest window, the list's width there, the Exit button's size.
    std::array<int, kColumns> columnWidths_{200, 150, 100, 100};
    int listWidth_ = 0;
    QSize exitSize_;
    std::map<int, QAction*> actions_;
    std::unique_ptr<MainController> controller_;
    bool busy_ = false;
};

// The start-up's dialogs, and the main window run modally.
class QtStartupView final : public StartupView {
  public:
    void messageBox(MessageIcon icon, const std::string& text) override;
    bool wizardPage(int titleId, int headerId, int bodyId, int buttonTextId) override;
    bool webLink(int headerId, int bodyId, const std::string& address) override;
    bool openUrl(const std::string& address) override;
    std::optional<int> choiceDialog() override;
    void runMainWindow(const StartOptions& options) override;
};

}  // namespace upkeep::app::views
