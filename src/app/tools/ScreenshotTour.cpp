// upkeep-screenshots: the desktop program with a scripted user, for
// scripts/screenshots. It starts like the program (same options), answers
// every dialog itself and saves PNGs of the windows on the way:
//
//   UPKEEP_SCREENSHOTS      directory for the PNGs (required)
//   UPKEEP_SCREENSHOT_TOUR  "full" (default): choice dialog, Searching
//                           dialog, main window, wizard page, Sending dialog,
//                           address dialog, web-link dialog, version
//                           dialog, profile list; "main": the main window
//                           only
//   UPKEEP_SCREENSHOT_SUFFIX  appended to each file name (e.g. "-de")

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "app/controllers/Startup.h"
#include "app/views/Dialogs.h"
#include "app/views/MainWindow.h"
#include "resources/Menus.h"

namespace {

using namespace upkeep;
using namespace upkeep::app;
namespace command = resources::command;

QWidget* visibleTopLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            return w;
    }
    return nullptr;
}

class Tour {
  public:
    Tour(QString directory, bool full, QString suffix)
        : directory_(std::move(directory)), full_(full), suffix_(std::move(suffix)) {
        views::setModalHook([this](QDialog* dialog) { onModal(dialog); });
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(200);
        clock_.start();
    }

  private:
    // Renders the window itself: the same pixels on any X server, whether
    // or not it has drawn them yet.
    void save(QWidget* window, const QString& name) {
        const QPixmap shot = window->grab();
        const QString path = directory_ + "/" + name + suffix_ + ".png";
        std::printf("%s %s\n", shot.save(path) ? "saved" : "could not save",
                    path.toLocal8Bit().constData());
        std::fflush(stdout);
    }

    void onModal(QDialog* dialog) {
        const QString name = dialog->objectName();
        QTimer::singleShot(900, dialog, [this, dialog, name] {
            if (qobject_cast<QMessageBox*>(dialog)) {
                dialog->accept();
            } else if (name == "310") {
                if (full_)
                    save(dialog, "choice-dialog");
                dialog->accept();
            } else if (name == "303") {
                save(dialog, "wizard-page");
                dialog->accept();
            } else if (name == "303-link") {
                save(dialog, "web-link-dialog");
                dialog->reject();
            } else if (name == "302") {
                save(dialog, "address-dialog");
                dialog->reject();
            } else if (name == "307") {
                if (auto* versions = dialog->findChild<QListWidget*>())
                    versions->setCurrentRow(0);
                save(dialog, "version-dialog");
                dialog->reject();
            } else if (name == "306") {
                save(dialog, "profile-list");
                dialog->reject();
            } else {
                dialog->reject();
            }
        });
    }

    views::MainWindow* mainWindow() {
        return dynamic_cast<views::MainWindow*>(visibleTopLevel(QStringLiteral("301")));
    }

    void next() {
        ++step_;
        clock_.restart();
    }

    // Selects the first row whose printer passes the test.
    bool selectRow(views::MainWindow& window, const std::function<bool(Printer&)>& test) {
        QTreeWidget* list = window.listView();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            auto printer =
                window.controller().findPrinter(list->topLevelItem(i)->text(0).toStdString());
            if (printer && test(*printer)) {
                list->clearSelection();
                list->topLevelItem(i)->setSelected(true);
                return true;
            }
        }
        return false;
    }

    void tick() {
        if (busy_)
            return;
        busy_ = true;
        run();
        busy_ = false;
    }

    void run() {
        views::MainWindow* window = mainWindow();
        if (!window || QApplication::activeModalWidget() != window)
            return;
        MainController& controller = window->controller();
        const qint64 waited = clock_.elapsed();
        switch (step_) {
            case 0:  // the search
                if (QWidget* searching = visibleTopLevel(QStringLiteral("304"))) {
                    if (!searchingSeen_) {
                        searchingSeen_ = true;
                        clock_.restart();
                    }
                    if (!full_ || waited < 2500)
                        return;
                    save(searching, "searching-dialog");
                    next();
                } else if (controller.autoPending == 0) {
                    next();
                }
                return;
            case 1:  // the first analysis and its automatic action are done
                if (controller.autoPending != 0 || controller.analysisRunning() ||
                    controller.searchingOpen())
                    return;
                window->commandAction(command::kViewAllPrinters)->trigger();
                next();
                return;
            case 2:
                if (controller.analysisRunning() || waited < 1000)
                    return;
                window->listView()->clearSelection();
                window->listView()->setCurrentItem(nullptr);
                save(window, "main-window");
                if (!full_) {
                    window->accept();
                    return;
                }
                next();
                return;
            case 3:  // an upgrade of two items, which pauses between them
                if (!selectRow(*window, [](Printer& p) { return p.upgradableCount() == 2; }) &&
                    !selectRow(*window, [](Printer& p) { return p.upgradableCount() > 0; })) {
                    step_ = 6;
                    return;
                }
                window->commandAction(command::kSystemUpgrade)->trigger();
                next();
                return;
            case 4:
                if (QWidget* sending = visibleTopLevel(QStringLiteral("305"))) {
                    if (waited < 2500)
                        return;
                    save(sending, "sending-dialog");
                    next();
                } else if (!controller.downloadRunning() && waited > 5000) {
                    next();
                }
                return;
            case 5:
                if (controller.downloadRunning() || controller.analysisRunning())
                    return;
                next();
                return;
            case 6:
                window->commandAction(command::kFileNew)->trigger();
                next();
                return;
            case 7:
            case 8:  // the web-link page, then the versions to go back to
                if (selectRow(*window, [](Printer& p) {
                        return p.effectiveState() == PrinterState::UpToDate;
                    })) {
                    window
                        ->commandAction(step_ == 7 ? command::kSystemUpgrade
                                                   : command::kSystemDowngrade)
                        ->trigger();
                }
                next();
                return;
            case 9:  // the printer that has media profiles
                if (selectRow(*window, [](Printer& p) { return p.name() == "Design-Studio"; }))
                    window->commandAction(command::kMediaViewProfiles)->trigger();
                next();
                return;
            default:
                window->accept();
                return;
        }
    }

    QString directory_;
    bool full_;
    QString suffix_;
    QTimer timer_;
    QElapsedTimer clock_;
    int step_ = 0;
    bool busy_ = false;
    bool searchingSeen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(views::programIcon());
    const QString directory = qEnvironmentVariable("UPKEEP_SCREENSHOTS");
    if (directory.isEmpty()) {
        std::fprintf(stderr, "upkeep-screenshots: set UPKEEP_SCREENSHOTS to a directory\n");
        return 2;
    }
    Tour tour(directory, qEnvironmentVariable("UPKEEP_SCREENSHOT_TOUR", "full") == "full",
              qEnvironmentVariable("UPKEEP_SCREENSHOT_SUFFIX"));
    views::QtStartupView view;
    runStartup(view, commandLineOf(argc, argv));
    return 0;
}
