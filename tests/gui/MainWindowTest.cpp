#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <chrono>
#include <fstream>
#include <thread>

#include "app/views/Dialogs.h"
#include "app/views/MainWindow.h"
#include "integration/sim/SimHelpers.h"
#include "package/Environment.h"
#include "platform/Clock.h"
#include "resources/Menus.h"
#include "resources/Strings.h"
#include "support/PackageFixture.h"
#include "support/SimProcess.h"
#include "unit/app/FakeViews.h"

namespace upkeep::app::views {
namespace {

using test::listed;

bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QWidget* topLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            return w;
    }
    return nullptr;
}

// Controls are found by their template ids.
template <typename T = QWidget>
T* child(QWidget* parent, const char* id) {
    return parent->findChild<T*>(QString::fromLatin1(id));
}
void click(QWidget* parent, const char* id) {
    child<QAbstractButton>(parent, id)->click();
}
std::string labelText(QWidget* parent, const char* id) {
    return child<QLabel>(parent, id)->text().toStdString();
}
QStringList lines(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// The Ctrl key as the test says: offscreen, no key is ever held.
class CtrlWindow final : public MainWindow {
  public:
    using MainWindow::MainWindow;
    bool ctrlHeld() override { return ctrl; }
    bool ctrl = false;
};

void choose(QWidget* window, const char* name) {
    QTreeWidget* list = child<QTreeWidget>(window, "1000");
    const QList<QTreeWidgetItem*> found =
        list->findItems(QString::fromUtf8(name), Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << name;
    list->setCurrentItem(found.first());
}

// Answers the modal dialogs as the test says and records what they were.
class ModalScript {
  public:
    ModalScript() {
        setModalHook([this](QDialog* dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                messages.push_back(box->text().toStdString());
                box->accept();
                return;
            }
            seen.push_back(dialog->objectName().toStdString());
            if (answer)
                answer(dialog);
            else
                dialog->reject();
        });
    }
    ~ModalScript() { setModalHook({}); }
    std::function<void(QDialog*)> answer;
    std::vector<std::string> messages;
    std::vector<std::string> seen;
};

class MainWindowTest : public ::testing::Test {
  protected:
    platform::ScopedTimeScale scale{0.05};
    upkeep::test::SamplePackage package;
    ModalScript script;
};

TEST_F(MainWindowTest, ListViewColumnsAndIconsAfterAnAnalysis) {
    if (upkeep::test::simPath().empty())
        GTEST_SKIP() << "printer-sim not built";
    upkeep::test::SimProcess sim(upkeep::test::simPrinter(1, "Meridot-4000", "3.10") +
                                 upkeep::test::simPrinter(2, "Meridot-4000", "4.00") +
                                 upkeep::test::simPrinter(3, "Meridot-9999", "1.00"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    test::FakeEnvironment environment;
    environment.printers = {listed("old", sim.address(0)), listed("new", sim.address(1)),
                            listed("odd", sim.address(2))};
    ScopedEnvironment scoped(&environment);

    StartOptions options;
    options.firmwareMode = 1;
    MainWindow window(options);
    window.show();
    QTreeWidget* list = child<QTreeWidget>(&window, "1000");
    ASSERT_EQ(list, window.listView());

    // The first search opens the Searching dialog, the analysis closes it.
    QWidget* searching = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (searching = topLevel("304")) != nullptr; }));
    ASSERT_TRUE(waitUntil([&] { return !labelText(searching, "1014").empty(); }));
    EXPECT_EQ(labelText(searching, "1015"), "old");
    ASSERT_TRUE(waitUntil([&] { return !script.messages.empty(); }));
    EXPECT_EQ(script.messages, std::vector<std::string>{resources::text(250)});
    EXPECT_EQ(topLevel("304"), nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 2);

    window.commandAction(resources::command::kViewAllPrinters)->trigger();
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 3; }));
    EXPECT_TRUE(window.commandAction(resources::command::kViewAllPrinters)->isChecked());
    EXPECT_FALSE(window.commandAction(resources::command::kViewSupportedPrinters)->isChecked());

    struct Row {
        const char* name;
        int state;
        int icon;
        const char* version;
    };
    const Row rows[] = {{"old", 151, 1, "3.10"}, {"new", 152, 2, "4.00"}, {"odd", 154, 0, "1.00"}};
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        EXPECT_EQ(item->text(0).toStdString(), rows[i].name);
        EXPECT_EQ(item->text(1).toStdString(), resources::text(rows[i].state));
        EXPECT_EQ(item->text(3).toStdString(), rows[i].version);
        EXPECT_EQ(item->icon(0).pixmap(16, 16).toImage(),
                  stateImage(rows[i].icon).pixmap(16, 16).toImage())
            << rows[i].name;
    }

    // A refresh's Cancel closes its Searching dialog, released inside its
    // own click, and ends the analysis.
    window.commandAction(resources::command::kViewRefresh)->trigger();
    ASSERT_TRUE(waitUntil([&] { return (searching = topLevel("304")) != nullptr; }));
    QPointer<QWidget> closed(searching);
    click(searching, "2");
    EXPECT_TRUE(!closed || !closed->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !window.controller().analysisRunning(); }));
}

TEST_F(MainWindowTest, ProgressBarFollowsTheDownload) {
    if (upkeep::test::simPath().empty())
        GTEST_SKIP();
    platform::ScopedTimeScale realTime(1.0);
    upkeep::test::SimProcess sim(
        upkeep::test::simPrinter(1, "Meridot-4000", "3.10", "data = slow:20000\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string path = upkeep::test::firmwareFile(::testing::TempDir() + "upkeep-gui-big.fmw",
                                                        "Meridot-4000", "9.00", 16 << 20);
    test::FakeEnvironment environment;
    environment.printers = {listed("slow", sim.address(0))};
    ScopedEnvironment scoped(&environment);
    CtrlWindow window(StartOptions{});
    window.show();
    MainController& controller = window.controller();
    ASSERT_TRUE(waitUntil([&] { return window.listView()->topLevelItemCount() == 1; }));
    ASSERT_TRUE(waitUntil([&] { return !controller.analysisRunning(); }));
    choose(&window, "slow");
    // Ctrl+Upgrade: a file of the user's choice.
    window.ctrl = true;
    script.answer = [&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        files->selectFile(QString::fromStdString(path));
        dialog->accept();
    };
    window.commandAction(resources::command::kSystemUpgrade)->trigger();

    QWidget* sending = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (sending = topLevel("305")) != nullptr; }));
    auto* bar = child<QProgressBar>(sending, "1013");
    ASSERT_NE(bar, nullptr);
    // Timer 1 moves the bar once a second, from the printer's first bytes:
    // a whole percent of this file takes it eight seconds.
    ASSERT_TRUE(waitUntil([&] { return bar->value() > 0; }, std::chrono::milliseconds(2500)));
    EXPECT_LT(bar->value(), bar->maximum());

    click(sending, "2");
    EXPECT_FALSE(sending->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !controller.downloadRunning(); }));
    EXPECT_TRUE(script.messages.empty());
    std::remove(path.c_str());
}

// The largest gap between two turns of the window's event loop while it
// lives, less the time its thread stood ready while other processes had
// the processors: a loaded machine delays every program, a freeze is the
// window's own.
class LoopWatch {
  public:
    LoopWatch() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = std::chrono::steady_clock::now();
            const std::chrono::nanoseconds queued = readyTime();
            longest_ = std::max(longest_, now - last_ - (queued - lastQueued_));
            last_ = now;
            lastQueued_ = queued;
        });
        timer_.start();
    }
    std::chrono::milliseconds longest() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(longest_);
    }

  private:
    // This thread's time waiting for a processor (the kernel's schedstat);
    // 0 where the kernel does not tell.
    static std::chrono::nanoseconds readyTime() {
        std::ifstream stat("/proc/thread-self/schedstat");
        unsigned long long running = 0, waiting = 0;
        if (!(stat >> running >> waiting))
            return {};
        return std::chrono::nanoseconds(waiting);
    }

    QTimer timer_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
    std::chrono::nanoseconds lastQueued_ = readyTime();
    std::chrono::steady_clock::duration longest_{};
};

// At real time, with a printer that answers no SNMP request: the first
// search, View Profiles and the upgrade of a printer not analysed yet ask
// it off the window's thread, and the window's event loop never waits.
TEST_F(MainWindowTest, WindowAnswersWhileAPrinterIsAsked) {
    if (upkeep::test::simPath().empty())
        GTEST_SKIP();
    platform::ScopedTimeScale realTime(1.0);
    upkeep::test::SimProcess sim(upkeep::test::simPrinter(1, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    test::FakeEnvironment environment;
    // Known unreachable already, so the first search's own analysis is short.
    auto silent = listed("silent", sim.address(0));
    PrinterFacts unreachable;
    unreachable.state = PrinterState::NotReachable;
    silent->store(unreachable);
    environment.printers = {silent};
    // A spooler that is slow to list its queues.
    environment.duringSearch = [] { std::this_thread::sleep_for(std::chrono::milliseconds(500)); };
    ScopedEnvironment scoped(&environment);
    CtrlWindow window(StartOptions{});
    window.show();
    MainController& controller = window.controller();
    auto limit = std::chrono::seconds(60);
    // What shows the user that the window works, looked at while it does.
    auto shownDuring = [&](const char* dialog, const char* control, const std::string& text) {
        auto seen = std::make_shared<bool>(false);
        QTimer::singleShot(250, &window, [=] {
            for (QWidget* shown : QApplication::topLevelWidgets()) {
                if (shown->objectName() != dialog || !shown->isVisible())
                    continue;
                if (auto* list = child<QListWidget>(shown, control))
                    *seen = *seen || views::lines(list).contains(qstr(text));
                else
                    *seen = *seen || labelText(shown, control) == text;
            }
        });
        return seen;
    };
    {
        LoopWatch watch;
        auto searching = shownDuring("304", "1024", resources::text(221));
        ASSERT_TRUE(waitUntil([&] { return !script.messages.empty(); }, limit));  // none shown
        EXPECT_LT(watch.longest().count(), 100) << "first search";
        EXPECT_TRUE(*searching);
    }
    window.commandAction(resources::command::kViewAllPrinters)->trigger();
    ASSERT_TRUE(waitUntil([&] { return window.listView()->topLevelItemCount() == 1; }));
    choose(&window, "silent");
    {
        LoopWatch watch;
        std::vector<std::string> lines;
        script.answer = [&](QDialog* dialog) {
            lines = {};
            for (const QString& line : views::lines(child<QListWidget>(dialog, "1000")))
                lines.push_back(line.toStdString());
            dialog->reject();
        };
        auto asking = shownDuring("306", "1000", resources::text(223) + std::string("..."));
        window.commandAction(resources::command::kMediaViewProfiles)->trigger();
        EXPECT_LT(watch.longest().count(), 100) << "View Profiles";
        EXPECT_TRUE(*asking);
        EXPECT_FALSE(lines.empty());
        EXPECT_TRUE(window.isVisible());
    }
    {
        // A refresh makes it not analysed again; the upgrade asks it itself.
        window.commandAction(resources::command::kViewRefresh)->trigger();
        script.messages.clear();
        LoopWatch watch;
        auto asking = shownDuring("304", "1015", "silent");
        int searchingDialogs = 0;  // the refresh's, naming the printer asked
        QTimer::singleShot(250, &window, [&] {
            for (QWidget* shown : QApplication::topLevelWidgets())
                searchingDialogs += shown->objectName() == "304" && shown->isVisible();
        });
        window.commandAction(resources::command::kSystemUpgrade)->trigger();
        EXPECT_TRUE(*asking);
        EXPECT_EQ(searchingDialogs, 1);
        EXPECT_LT(watch.longest().count(), 100) << "upgrade";
        EXPECT_EQ(script.messages, std::vector<std::string>{resources::text(259)});
    }
    {
        // A refresh while the walk waits on the silent printer lets the old
        // walk go rather than wait for it.
        window.commandAction(resources::command::kViewRefresh)->trigger();
        waitUntil([] { return false; }, std::chrono::milliseconds(1500));  // shown, then asked
        LoopWatch watch;
        window.commandAction(resources::command::kViewRefresh)->trigger();
        waitUntil([] { return false; }, std::chrono::milliseconds(300));
        EXPECT_LT(watch.longest().count(), 100) << "refresh during a walk";
    }
    ASSERT_TRUE(waitUntil([&] { return !controller.analysisRunning(); }, limit));
    {
        // The close box while the printer is asked is kept, and taken as
        // soon as the exchange has ended: the profile list never shows.
        choose(&window, "silent");
        std::vector<std::string> seen = script.seen;
        QTimer::singleShot(200, &window, [&] { window.close(); });
        LoopWatch watch;
        window.commandAction(resources::command::kMediaViewProfiles)->trigger();
        EXPECT_LT(watch.longest().count(), 100) << "close during View Profiles";
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(script.seen, seen);
    }
}

TEST_F(MainWindowTest, EnterAndEscapeEndTheWindow) {
    ScopedEnvironment none(nullptr);
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        MainWindow window(StartOptions{});
        QTimer::singleShot(50, &window, [&] {
            window.listView()->setFocus();
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(window.listView(), &press);
        });
        int result = window.exec();
        EXPECT_EQ(result, key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_FALSE(window.isVisible());
    }
}

// A worker's report that arrives while a wizard page is open waits until it
// has closed and the flow that opened it has gone on: it never acts inside
// the dialog's own event loop.
TEST_F(MainWindowTest, WorkerReportsWaitForAnOpenDialog) {
    QDialog window;
    QtUiQueue queue(&window);
    std::vector<std::string> events;
    script.answer = [&](QDialog* page) {
        std::thread([&] { queue.post([&] { events.push_back("report"); }); }).join();
        waitUntil([] { return false; }, std::chrono::milliseconds(100));
        events.push_back("page closes");
        page->reject();
    };
    runWizardPage(&window, 190, 191, 192, 193);
    events.push_back("flow goes on");
    EXPECT_TRUE(waitUntil([&] { return events.size() == 3; }, std::chrono::seconds(5)));
    EXPECT_EQ(events, (std::vector<std::string>{"page closes", "flow goes on", "report"}));
}

TEST_F(MainWindowTest, ListGrowsWithTheWindow) {
    ScopedEnvironment none(nullptr);
    MainWindow window(StartOptions{});
    auto* exitButton = child<QPushButton>(&window, "1");
    ASSERT_NE(exitButton, nullptr);
    EXPECT_TRUE(exitButton->isDefault());
    // A wider window widens the list; the columns keep their proportions.
    QTreeWidget* list = window.listView();
    const double proportion = double(list->columnWidth(0)) / list->columnWidth(1);
    const int width = list->width();
    window.show();
    window.resize(window.width() * 2, window.height() * 2);
    EXPECT_GT(list->width(), width * 3 / 2);
    EXPECT_NEAR(double(list->columnWidth(0)) / list->columnWidth(1), proportion, 0.02);
    EXPECT_NEAR(exitButton->geometry().center().x(), window.width() / 2, 1);
}

// The address dialog answers with the kind chosen, TCP/IP unless another
// is, and that kind's field.
TEST_F(MainWindowTest, AddressDialogAnswersTheChosenKind) {
    for (int kind : {0, 1}) {
        script.answer = [&](QDialog* dialog) {
            if (kind == 1)
                click(dialog, "1004");
            child<QLineEdit>(dialog, "1005")->setText(QStringLiteral("10.0.0"));
            child<QLineEdit>(dialog, "1006")->setText(QStringLiteral("0A:1"));
            click(dialog, "1");
        };
        const std::optional<AddressAnswer> answer = runAddressDialog(nullptr);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->kind, kind);
        EXPECT_EQ(answer->text, kind ? "0A:1" : "10.0.0");
    }
}

// The help opens at the template's size every time, whatever size it was
// given before, and may be made larger, its text with it.
TEST_F(MainWindowTest, HelpWindowIsResizableAndRemembersNothing) {
    std::vector<QSize> opened;
    script.answer = [&](QDialog* dialog) {
        opened.push_back(dialog->size());
        QWidget* text = child(dialog, "1006");
        const QSize before = text->size();
        dialog->resize(dialog->size() * 2);
        QApplication::processEvents();
        EXPECT_GT(text->width(), before.width() * 3 / 2);
        EXPECT_GT(text->height(), before.height() * 3 / 2);
        EXPECT_LE(child(dialog, "1")->geometry().bottom(), dialog->height());
        dialog->reject();
    };
    runInformationDialog(nullptr, "help");
    runInformationDialog(nullptr, "help");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], opened[1]);
}

TEST_F(MainWindowTest, ChoiceDialogReturnsTheChosenMode) {
    for (int choice : {0, 1}) {
        script.answer = [&](QDialog* dialog) {
            if (choice == 1)
                click(dialog, "1051");
            click(dialog, "1");
        };
        EXPECT_EQ(runChoiceDialog(nullptr), choice);
    }
    script.answer = {};
    EXPECT_EQ(runChoiceDialog(nullptr), std::nullopt);
}

TEST_F(MainWindowTest, VersionDialogTakesTheSelectedLineOnly) {
    const std::vector<std::string> versions{"4.00", "3.10", "3.20"};
    QStringList shown;
    // Next with no line selected leaves the dialog open; a double-click takes its line.
    script.answer = [&](QDialog* dialog) {
        auto* list = child<QListWidget>(dialog, "1000");
        ASSERT_NE(list, nullptr);
        shown = lines(list);
        click(dialog, "1");
        EXPECT_TRUE(dialog->isVisible());
        QMetaObject::invokeMethod(list, "itemDoubleClicked",
                                  Q_ARG(QListWidgetItem*, list->item(1)));
    };
    EXPECT_EQ(runVersionDialog(nullptr, versions), std::optional<std::string>("3.20"));
    EXPECT_EQ(shown, (QStringList{"3.10", "3.20", "4.00"})) << "sorted";

    script.answer = [](QDialog* dialog) {
        child<QListWidget>(dialog, "1000")->setCurrentRow(0);
        click(dialog, "2");
    };
    EXPECT_EQ(runVersionDialog(nullptr, versions), std::nullopt);
}

TEST_F(MainWindowTest, ProfileListShowsItsLinesSortedUntilClosed) {
    ScopedEnvironment none(nullptr);
    MainWindow window(StartOptions{});
    std::unique_ptr<ProfileListDisplay> display = window.openProfileList();
    ASSERT_NE(display, nullptr);
    QWidget* dialog = topLevel("306");
    ASSERT_NE(dialog, nullptr) << "shown before the query";
    auto* list = child<QListWidget>(dialog, "1000");
    ASSERT_NE(list, nullptr);
    display->addLine("Photo  Matte");
    display->addLine("Fine Art  Canvas");
    display->repaint();
    // Its columns are blank-padded: they line up only in a fixed-pitch font.
    const QFontMetrics metrics(list->font());
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("iiii")),
              metrics.horizontalAdvance(QStringLiteral("MMMM")));
    // While its printer is asked it stays: it is closed once it runs modally.
    QMetaObject::invokeMethod(dialog, "reject");
    EXPECT_TRUE(dialog->isVisible());
    QStringList shown;
    script.answer = [&](QDialog* modal) {
        shown = lines(list);
        click(modal, "2");
    };
    display->runModal();
    EXPECT_EQ(shown, (QStringList{"Fine Art  Canvas", "Photo  Matte"}));
    EXPECT_EQ(script.seen, std::vector<std::string>{"306"});
    display.reset();
    EXPECT_EQ(topLevel("306"), nullptr);
}

}  // namespace
}  // namespace upkeep::app::views
