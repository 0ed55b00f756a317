#include "Clock.h"
#include "CommandLine.h"
#include "Define.h"
#include "FrmMain.h"
#include "MessageBoxPrompter.h"
#include "QtPortAdapter.h"
#include "RunWindow.h"
#include "TerminationSignals.h"
#include "UiMetrics.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // Any argument is for the terminal side, which needs no display server.
    if (argc > 1) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runCommandLine(QCoreApplication::arguments(), out, err);
    }

    QApplication app(argc, argv);
    // Lets desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vantor_qs.PoleSet"));
    installFontSubstitutions();

    Define define;
    define.AppDir = QDir::currentPath();
    QtPortAdapter port(define.AppDir);
    SystemClock clock;
    MessageBoxPrompter prompter;
    FrmMain window(define, port, clock, prompter);
    prompter.setParent(&window);

    TerminationSignals termination;
    return runWindow(window, termination);
}
