// The desktop program: start-up on the user-interface thread, then the main
// window until it closes.

#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/controllers/Startup.h"
#include "app/views/Dialogs.h"
#include "app/views/MainWindow.h"
#include "version/Version.h"

namespace {

// Only as the one argument: otherwise the command line is the program's own
// (-f, -o and -l take everything after them).
bool answeredAlone(int argc, char** argv) {
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("upkeep %s\n", upkeep::versionText());
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::printf(
            "usage: upkeep [-f[PRINTER] | -o[FILE]] [-l N]\n"
            "       upkeep --help | --version\n\n"
            "  -f[PRINTER]  work with system software; upgrade PRINTER after the first search\n"
            "  -o[FILE]     work with media profiles; install the profile FILE\n"
            "  -l N         language number: 7 German, 9 English, 10 Spanish, 12 French,\n"
            "               16 Italian, 22 Portuguese (otherwise the locale decides)\n");
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace upkeep::app;
    if (answeredAlone(argc, argv))
        return 0;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("upkeep"));
    QApplication::setWindowIcon(views::programIcon());
    views::QtStartupView view;
    runStartup(view, commandLineOf(argc, argv));
    return 0;
}
