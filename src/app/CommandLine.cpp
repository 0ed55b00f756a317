#include "CommandLine.h"

#include "Clock.h"
#include "Define.h"
#include "QtPortAdapter.h"
#include "SerialDevices.h"
#include "SerialLink.h"
#include "SettingsFile.h"
#include "SetupApply.h"
#include "SetupCommands.h"
#include "Version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTextStream>

#include <memory>

namespace {

enum ExitStatus { Done = 0, PortFailed = 1, Usage = 2, Stopped = 3 };

const char UsageText[] =
    "Usage: poleset\n"
    "       poleset --apply [FILE] [--port COMn|DEVICE] [--line BAUD,P,D,1] [--dry-run] [--quiet]\n"
    "       poleset --help | --version\n";

const char HelpText[] =
    "\n"
    "Without options PoleSet opens its window; its settings file PoleSet.ini lives in the\n"
    "current directory.\n"
    "\n"
    "--apply sets up the display from a settings file, without the window. FILE (default:\n"
    "PoleSet.ini in the current directory) is only read. Its seven items go out in this\n"
    "order, each as the window's Send puts it on the wire with \"Set Communication after Sent\n"
    "data\" ticked, the closing frame after each:\n"
    "  1 Command Emulation   2 International Character   3 Code Page\n"
    "  4 Upper line message  5 Lower line message        6 Communication   7 Baud rate\n"
    "After Communication and after Baud rate the PC port follows the display.\n"
    "\n"
    "Options:\n"
    "  --apply             set up the display from FILE\n"
    "  --port COMn|DEVICE  the port instead of the file's Port=: COMn is the entry COMn in the\n"
    "                      current directory, else the built-in port; or a device path\n"
    "  --line BAUD,P,D,1   the line settings the display listens at now, e.g. 9600,N,8,1\n"
    "                      (default: the file's own Baud=, Parity= and BitLen=)\n"
    "  --dry-run           print the frames that would go out, in hex; open no port\n"
    "  --quiet             print only errors\n"
    "  -h, --help          show this text\n"
    "  --version           show the version\n"
    "\n"
    "Exit status: 0 every item sent; 1 the port cannot be opened; 2 bad usage or a FILE that\n"
    "cannot be read; 3 the port went away, or a frame did not go out, part-way.\n";

int usageError(QTextStream &err, const QString &message)
{
    err << "poleset: " << message << "\n" << UsageText;
    err.flush();
    return Usage;
}

// "9600,N,8,1" into the PC-side settings of `line`; only the display's own rates are accepted.
bool parseLine(const QString &text, Define &line)
{
    static const QRegularExpression format(QStringLiteral("^(\\d+),([NEO]),([78]),1$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = format.match(text.trimmed());
    if (!m.hasMatch() || dspBaudIndexOf(m.captured(1).toInt()) < 0)
        return false;
    line.ComBaud = m.captured(1).toInt();
    line.ComParity = QStringLiteral("NEO").indexOf(m.captured(2).toUpper());
    line.ComBitLen = m.captured(3).toInt();
    return true;
}

QString spacedHex(const QString &hexText)
{
    return QString::fromLatin1(hexTextToBytes(hexText).toHex(' ').toUpper());
}

} // namespace

int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err, Clock *clock)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    const QCommandLineOption apply(QStringLiteral("apply"), QString());
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("port"));
    const QCommandLineOption lineOption(QStringLiteral("line"), QString(), QStringLiteral("line"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    const QCommandLineOption quiet(QStringLiteral("quiet"), QString());
    parser.addOptions({help, version, apply, port, lineOption, dryRun, quiet});
    if (!parser.parse(arguments))
        return usageError(err, parser.errorText());
    if (parser.isSet(help)) {
        out << UsageText << HelpText;
        return Done;
    }
    if (parser.isSet(version)) {
        out << "poleset " << Version::Major << '.' << Version::Minor << "\n";
        return Done;
    }
    const QStringList files = parser.positionalArguments();
    if (!parser.isSet(apply)) {
        return usageError(err,
                          files.isEmpty()
                              ? QStringLiteral("--apply is missing")
                              : QStringLiteral("unexpected argument %1").arg(files.constFirst()));
    }
    if (files.size() > 1)
        return usageError(err, QStringLiteral("--apply takes one FILE, not %1").arg(files.size()));

    const QString path = files.value(0, QStringLiteral("PoleSet.ini"));
    Define settings;
    settings.AppDir = QDir::currentPath();
    QString why;
    if (!ReadSettingsFile(path, settings, &why)) {
        err << "poleset: cannot read " << path << ": " << why << "\n";
        return Usage;
    }
    // The display talks at the file's own settings unless told otherwise.
    Define line = settings;
    if (parser.isSet(lineOption) && !parseLine(parser.value(lineOption), line))
        return usageError(err, QStringLiteral("--line takes BAUD,P,D,1 with one of the display's "
                                              "rates, N, E or O, 7 or 8: not \"%1\"")
                                   .arg(parser.value(lineOption)));
    QString device;
    if (parser.isSet(port)) {
        static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]?)$"),
                                            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = com.match(parser.value(port));
        if (m.hasMatch())
            settings.ComPort = m.captured(1).toInt();
        else if (parser.value(port).contains(QLatin1Char('/')))
            device = parser.value(port);
        else
            return usageError(err, QStringLiteral("--port takes COMn or a device path, not \"%1\"")
                                       .arg(parser.value(port)));
    }

    const std::vector<ApplyItem> items = applyItems(settings);
    const int count = int(items.size());
    if (parser.isSet(dryRun)) {
        Define pc = line;
        out << "PC port at " << settingsString(pc) << "\n";
        for (int n = 1; n <= count; ++n) {
            const ApplyItem &item = items[size_t(n - 1)];
            const QString head = QStringLiteral("[%1/%2] %3").arg(n).arg(count).arg(item.name);
            out << head << ": " << spacedHex(item.wireText()) << "\n";
            if (followDisplayLine(pc, item.setupItem))
                out << head << ": PC port now at " << settingsString(pc) << "\n";
            out << head << ", closing frame: " << spacedHex(SetupFrame(ClosingFrame())) << "\n";
        }
        return Done;
    }

    std::unique_ptr<SystemClock> systemClock;
    if (!clock)
        clock = (systemClock = std::make_unique<SystemClock>()).get();
    QtPortAdapter adapter(settings.AppDir);
    if (!device.isEmpty())
        adapter.setFixedDevice(device);
    QElapsedTimer took;
    took.start();
    SetupApply run(settings, adapter, *clock);
    try {
        run.open(line);
    } catch (const PortError &error) {
        err << "poleset: the port cannot be opened at " << settingsString(line) << ": "
            << error.reason() << "\n";
        const QString hints = adapterHints(settings.ComPort, settings.AppDir);
        if (!hints.isEmpty())
            err << hints << "\n";
        return PortFailed;
    }
    const bool talk = !parser.isSet(quiet);
    run.started = [&](int n, const ApplyItem &item) {
        if (talk)
            err << "[" << n << "/" << count << "] " << item.name << ": " << item.value << " ... ";
        err.flush();
    };
    run.sent = [&](int, const ApplyItem &) {
        if (talk)
            err << "sent\n";
        err.flush();
    };
    if (!run.run()) {
        const ApplyItem &item = items[size_t(run.failedItem() - 1)];
        if (talk)
            err << "failed\n";
        err << "poleset: stopped at [" << run.failedItem() << "/" << count << "] " << item.name
            << ": " << run.failure() << "; nothing more was sent\n";
        return Stopped;
    }
    if (talk)
        err << "Set up in " << QString::number(took.elapsed() / 1000.0, 'f', 1) << " s\n";
    return Done;
}
