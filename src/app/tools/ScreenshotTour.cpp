// upkeep-screenshots: the desktop program with a scripted user, for
// scripts/screenshots. It starts like the program (same options), lets the
// first search run, saves the Searching dialog while it runs and the main
// window (View/All Printers) after it, then opens every other dialog over
// the main window with sample contents and saves each:
//
//   UPKEEP_SCREENSHOTS        directory for the PNGs (required)
//   UPKEEP_SCREENSHOT_SUFFIX  appended to each file name (e.g. "-de")

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "app/controllers/Startup.h"
#include "app/controllers/Texts.h"
#include "app/views/Dialogs.h"
#include "app/views/MainWindow.h"
#include "package/PackageTrust.h"
#include "printer/SendingStatus.h"
#include "resources/Menus.h"
#include "resources/Strings.h"

namespace {

using namespace upkeep;
using namespace upkeep::app;

QWidget* visibleTopLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->isVisible())
            return w;
    }
    return nullptr;
}

class Tour {
  public:
    Tour(QString directory, QString suffix)
        : directory_(std::move(directory)), suffix_(std::move(suffix)) {
        // The tour's own dialogs are saved; the program's messages (the
        // automatic action's) are only answered.
        views::setModalHook([this](QDialog* dialog) {
            if (next_.isEmpty()) {
                dialog->accept();
                return;
            }
            if (auto* list = dialog->findChild<QListWidget*>(QStringLiteral("1000"));
                list && dialog->objectName() == "307")
                list->setCurrentRow(0);
            save(dialog, next_);
            dialog->reject();
        });
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(200);
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

    // Opens a modal dialog whose picture is saved under the name.
    void modal(const char* name, const std::function<void()>& open) {
        next_ = QString::fromLatin1(name);
        open();
        next_.clear();
    }

    void tick() {
        auto* window = dynamic_cast<views::MainWindow*>(visibleTopLevel(QStringLiteral("301")));
        if (busy_ || !window || QApplication::activeModalWidget() != window)
            return;
        busy_ = true;
        run(*window);
        busy_ = false;
    }

    void run(views::MainWindow& window) {
        MainController& controller = window.controller();
        if (!searchingSaved_) {
            if (QWidget* searching = visibleTopLevel(QStringLiteral("304"))) {
                if (++searchingTicks_ < 10)  // two seconds: a few printers analysed
                    return;
                save(searching, QStringLiteral("searching-dialog"));
            }
            searchingSaved_ = true;
        }
        if (controller.automaticActionPending() || controller.analysisRunning() ||
            controller.searchingOpen())
            return;
        if (!viewAll_) {
            viewAll_ = true;
            window.commandAction(resources::command::kViewAllPrinters)->trigger();
            return;
        }
        window.listView()->clearSelection();
        window.listView()->setCurrentItem(nullptr);
        save(&window, QStringLiteral("main-window"));
        saveDialogs(&window);
        window.accept();
    }

    // A signed package, as the version dialog shows one.
    static std::string samplePackageState() {
        PackageTrust trust;
        trust.state = TrustState::Signed;
        trust.userId = "Meridot Packaging <packages@meridot.example>";
        trust.fingerprint = "0123456789ABCDEF0123456789ABCDEF01234567";
        return packageStateText(trust);
    }

    void saveDialogs(QWidget* parent) {
        modal("choice-dialog", [&] { views::runChoiceDialog(parent); });
        modal("wizard-page", [&] { views::runWizardPage(parent, 190, 191, 192, 193); });
        modal("downgrade-page", [&] { views::runWizardPage(parent, 200, 202, 203, 0); });
        modal("emergency-page", [&] { views::runWizardPage(parent, 210, 214, 211, 212); });
        modal("web-link-dialog", [&] { views::runWebLink(parent, 181, 185); });
        modal("address-dialog", [&] { views::runAddressDialog(parent); });
        modal("community-dialog", [&] { views::runCommunityDialog(parent, "public"); });
        modal("about-dialog", [&] { views::runAboutDialog(parent, samplePackageState()); });
        modal("help", [&] { views::runInformationDialog(parent, informationText()); });
        modal("version-dialog", [&] {
            views::runVersionDialog(parent, {"5.10", "5.01", "4.00 build 7"});
        });
        modal("profile-list", [&] {
            std::unique_ptr<ProfileListDisplay> list = views::openProfileListDialog(parent);
            list->addLine(std::string(resources::text(223)) + "...");
            list->addLine(resources::text(259));
            list->runModal();
        });
        std::unique_ptr<SendingDisplay> sending = views::openSendingDialog(parent, {});
        sending->setStatusLine(sendingStatusLine(resources::text(230), 1, 2, "Finisher-F2"));
        sending->setProgress(40);
        save(visibleTopLevel(QStringLiteral("305")), QStringLiteral("sending-dialog"));
    }

    QString directory_;
    QString suffix_;
    QString next_;
    QTimer timer_;
    bool busy_ = false;
    bool searchingSaved_ = false;
    int searchingTicks_ = 0;
    bool viewAll_ = false;
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
    Tour tour(directory, qEnvironmentVariable("UPKEEP_SCREENSHOT_SUFFIX"));
    views::QtStartupView view;
    runStartup(view, commandLineOf(argc, argv));
    return 0;
}
