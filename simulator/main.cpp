// poleset-display: a virtual customer display on a pseudo-terminal, for trying PoleSet
// without the hardware.

#include "ComLink.h"
#include "DisplayWindow.h"
#include "PseudoTerminal.h"
#include "TerminationSignals.h"
#include "Version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitFailure = 1;

const char UsageText[] = "Usage: poleset-display [--port N] [--dir PATH] [--factory-reset]\n"
                         "       poleset-display --help | --version\n";

const char HelpText[] =
    "\n"
    "Shows a virtual two-line customer display that takes what PoleSet sends. It opens a\n"
    "pseudo-terminal and makes the symbolic link COMn in PATH point at it; PoleSet started in\n"
    "PATH with port N opens that link as its serial port. The window shows the display, the\n"
    "settings it keeps, the line PoleSet set against the display's own and a log of the decoded\n"
    "traffic. Bytes sent at another speed, parity or data bits are noise to the display.\n"
    "\n"
    "The display keeps its EEPROM in PATH/poleset-display-COMn.eeprom, as a real one keeps it\n"
    "across a power cycle: read at start (factory settings when it is missing or not one of\n"
    "ours) and written whenever it changes.\n"
    "\n"
    "Options:\n"
    "  --port N         port number of the link COMn, 1 to 99 (default 1)\n"
    "  --dir PATH       directory for the link and the EEPROM (default: the current directory)\n"
    "  --factory-reset  start from the factory settings and keep them\n"
    "  -h, --help       show this text\n"
    "  --version        show the version\n"
    "\n"
    "An existing COMn is replaced only when it is a link to a pseudo-terminal that is gone;\n"
    "anything else is left alone and the program ends with status 2. The link is removed when\n"
    "the window is closed or on SIGINT or SIGTERM. Once the link is ready the program prints\n"
    "\"COMn -> /dev/pts/K\" on standard output.\n";

void fail(const QString &message)
{
    std::fprintf(stderr, "poleset-display: %s\n", qPrintable(message));
}

int usageError(const QString &message)
{
    fail(message);
    std::fputs(UsageText, stderr);
    return ExitUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    // Read the options before the window system is needed, so --help and mistakes work anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    const QCommandLineOption factory(QStringLiteral("factory-reset"), QString());
    const QCommandLineOption portOption(QStringLiteral("port"), QString(), QStringLiteral("N"),
                                        QStringLiteral("1"));
    const QCommandLineOption dirOption(QStringLiteral("dir"), QString(), QStringLiteral("PATH"),
                                       QStringLiteral("."));
    parser.addOptions({help, version, factory, portOption, dirOption});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(UsageText, stdout);
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("poleset-display %s\n", Version::Text);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument %1")
                              .arg(parser.positionalArguments().constFirst()));
    }
    bool ok = false;
    const int port = parser.value(portOption).toInt(&ok);
    if (!ok || port < 1 || port > 99) {
        return usageError(QStringLiteral("--port takes a number from 1 to 99, not \"%1\"")
                              .arg(parser.value(portOption)));
    }
    const QDir dir(parser.value(dirOption));
    if (!dir.exists())
        return usageError(QStringLiteral("no such directory: %1").arg(parser.value(dirOption)));
    const QString linkPath = dir.absoluteFilePath(QStringLiteral("COM%1").arg(port));
    // Named as the user sees it from here: COM1 itself when it lies in the current directory.
    const QString shownLink = QDir::current().relativeFilePath(linkPath).startsWith(u'.')
                                  ? linkPath
                                  : QDir::current().relativeFilePath(linkPath);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("poleset-display"));

    PseudoTerminal line;
    QString error;
    if (!line.open(&error)) {
        fail(error);
        return ExitFailure;
    }
    if (!claimComLink(linkPath, line.slavePath(), &error)) {
        fail(error);
        return ExitUsage;
    }

    // Ctrl+C and kill end it like closing the window, so the link is removed.
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &app, &QApplication::quit);

    DisplayWindow window(line, dir.absolutePath(), port);
    if (parser.isSet(factory))
        window.restoreFactorySettings();
    QObject::connect(&line, &PseudoTerminal::received, &window, &DisplayWindow::receive);
    QObject::connect(&line, &PseudoTerminal::failed, &window,
                     [&window](const QString &reason) { window.note(reason, true); });
    window.note(
        QStringLiteral("%1 \u2192 %2: waiting for PoleSet").arg(shownLink, line.slavePath()),
        false);
    window.placeBesidePoleSet();
    window.show();

    std::printf("COM%d -> %s\n", port, qPrintable(line.slavePath()));
    std::fflush(stdout);

    QApplication::exec();
    releaseComLink(linkPath, line.slavePath());
    return 0;
}
