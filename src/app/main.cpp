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
    // PoleSet's own options are for the terminal side, which needs no display server.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (wantsCommandLine(arguments)) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runCommandLine(QCoreApplication::arguments(), out, err);
    }

    // Any other argument is Qt's (-platform, -style, -reverse, ...): the application object takes
    // what it knows. What it leaves is said once, and the window starts all the same.
    QApplication app(argc, argv);
    const QStringList leftOver = QCoreApplication::arguments().mid(1);
    if (!leftOver.isEmpty()) {
        QStringList shown;
        for (const QString &argument : leftOver)
            shown << terminalText(argument);
        QTextStream(stderr) << "poleset: ignored: " << shown.join(QLatin1Char(' '))
                            << " (poleset --help shows PoleSet's options)\n";
    }
    // Lets desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vantor_qs.PoleSet"));
    installFontSubstitutions();

    Define define;
    define.AppDir = QDir::currentPath();
    define.startDir = StartDir::current();
    QtPortAdapter port(define.startDir);
    SystemClock clock;
    MessageBoxPrompter prompter;
    FrmMain window(define, port, clock, prompter);
    prompter.setParent(&window);

    TerminationSignals termination;
    return runWindow(window, termination);
}
