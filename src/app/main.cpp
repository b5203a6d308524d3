// The desktop program: start-up on the user-interface thread, then the main
// window until it closes.

#include <QApplication>

#include "app/controllers/Startup.h"
#include "app/views/Dialogs.h"
#include "app/views/MainWindow.h"

namespace {

using namespace upkeep;
using namespace upkeep::app;

class QtStartupView final : public StartupView {
  public:
    void messageBox(MessageIcon icon, const std::string& text) override {
        views::showMessage(nullptr, icon, text);
    }
    bool wizardPage(int titleId, int headerId, int bodyId, int buttonTextId) override {
        return views::runWizardPage(nullptr, titleId, headerId, bodyId, buttonTextId);
    }
    bool webLink(int headerId, int bodyId, const std::string&) override {
        return views::runWebLink(nullptr, headerId, bodyId);
    }
    void openUrl(const std::string& address) override { views::openAddress(address); }
    std::optional<int> choiceDialog() override { return views::runChoiceDialog(nullptr); }
    void runMainWindow(const StartOptions& options) override {
        views::MainWindow window(options);
        window.exec();
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("upkeep"));
    QApplication::setWindowIcon(views::programIcon());
    QtStartupView view;
    runStartup(view, commandLineOf(argc, argv));
    return 0;
}
