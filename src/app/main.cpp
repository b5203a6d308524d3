// The desktop program: start-up on the user-interface thread, then the main
// window until it closes.

#include <QApplication>

#include "app/controllers/Startup.h"
#include "app/views/Dialogs.h"
#include "app/views/MainWindow.h"

int main(int argc, char** argv) {
    using namespace upkeep::app;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("upkeep"));
    QApplication::setWindowIcon(views::programIcon());
    views::QtStartupView view;
    runStartup(view, commandLineOf(argc, argv));
    return 0;
}
