#include "CommandLine.h"

#include "Clock.h"
#include "Define.h"
#include "DryRun.h"
#include "FailureWords.h"
#include "QtPortAdapter.h"
#include "SerialDevices.h"
#include "SerialLink.h"
#include "SettingsFile.h"
#include "SetupApply.h"
#include "SetupCommands.h"
#include "TerminationSignals.h"
#include "Version.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum ExitStatus { Done = 0, PortFailed = 1, NoScreen = 1, Usage = 2, Stopped = 3 };

const char UsageText[] =
    "Usage: poleset [Qt options]\n"
    "       poleset --apply [FILE|-] [--port COMn|DEVICE] [--line BAUD,P,D,1] [--dry-run] "
    "[--quiet] [--verbose]\n"
    "       poleset --help | --version\n";

const char HelpText[] =
    "\n"
    "Without PoleSet's options PoleSet opens its window; Qt's own options (-platform, -style,\n"
    "-reverse, ...) apply to it. Its settings file PoleSet.ini lives in the current directory.\n"
    "\n"
    "--apply sets up the display from a settings file, without the window. FILE (default:\n"
    "PoleSet.ini in the current directory) is only read; it may be a pipe, and - is the\n"
    "standard input. Its seven items go out in this order, each as the window's Send puts it\n"
    "on the wire with \"Set Communication after Sent data\" ticked, the closing frame after\n"
    "each:\n"
    "  1 Command Emulation   2 International Character   3 Code Page\n"
    "  4 Upper line message  5 Lower line message        6 Communication   7 Baud rate\n"
    "After Communication and after Baud rate the PC port follows the display.\n"
    "\n"
    "Options:\n"
    "  --apply             set up the display from FILE\n"
    "  --port COMn|DEVICE  the port instead of the file's Port=: COM1 to COM4 (the entry COMn\n"
    "                      in the current directory, else the built-in port), or the absolute\n"
    "                      path of a device\n"
    "  --line BAUD,P,D,1   the line settings the display listens at now, e.g. 9600,N,8,1\n"
    "                      (default: the file's own Baud=, Parity= and BitLen=)\n"
    "  --dry-run           print the port and device, and the frames that would go out, in\n"
    "                      hex; open no port\n"
    "  --quiet             print only errors\n"
    "  --verbose           trace each open, close, frame and failure on standard error\n"
    "  -h, --help          show this text\n"
    "  --version           show the version\n"
    "\n"
    "Exit status: 0 every item sent; 1 the port cannot be opened, or the standard output could\n"
    "not be written; 2 bad usage or a FILE that cannot be read (also one over 64 KiB); 3 the\n"
    "port went away, or a frame did not go out, part-way; 128+N ended by signal N (SIGHUP,\n"
    "SIGINT, SIGTERM), the last line saying what the display may hold.\n";

// PoleSet's own options; any of them makes the command line the terminal side's.
constexpr std::array<QLatin1String, 9> OptionNames = {
    QLatin1String("apply"),   QLatin1String("port"),  QLatin1String("line"),
    QLatin1String("dry-run"), QLatin1String("quiet"), QLatin1String("verbose"),
    QLatin1String("help"),    QLatin1String("h"),     QLatin1String("version")};

// The options Qt 6.4 takes from a window program's command line (QGuiApplication's,
// QApplication's and the X11 platform's), and whether a value follows.
struct QtOption
{
    QLatin1String name;
    bool value;
};
constexpr QtOption QtOptions[] = {
    {QLatin1String("platform"), true},      {QLatin1String("platformpluginpath"), true},
    {QLatin1String("platformtheme"), true}, {QLatin1String("plugin"), true},
    {QLatin1String("qmljsdebugger"), true}, {QLatin1String("qwindowgeometry"), true},
    {QLatin1String("qwindowicon"), true},   {QLatin1String("qwindowtitle"), true},
    {QLatin1String("session"), true},       {QLatin1String("style"), true},
    {QLatin1String("stylesheet"), true},    {QLatin1String("display"), true},
    {QLatin1String("geometry"), true},      {QLatin1String("name"), true},
    {QLatin1String("title"), true},         {QLatin1String("visual"), true},
    {QLatin1String("icon"), true},          {QLatin1String("reverse"), false},
    {QLatin1String("widgetcount"), false},  {QLatin1String("testability"), false},
    {QLatin1String("nograb"), false},       {QLatin1String("dograb"), false}};
// Those Qt also takes as -name=value.
constexpr std::array<QLatin1String, 3> QtAssignedOptions = {
    QLatin1String("style"), QLatin1String("stylesheet"), QLatin1String("qmljsdebugger")};

// Names the platform plugins that need a display server: the X11 and Wayland ones.
bool needsScreen(const QString &platform)
{
    for (const QString &entry : platform.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString base = entry.section(QLatin1Char(':'), 0, 0);
        if (!base.startsWith(QLatin1String("xcb")) && !base.startsWith(QLatin1String("wayland")))
            return false;
    }
    return true;
}

int usageError(QTextStream &err, const QString &message)
{
    err << "poleset: " << terminalText(message) << "\n" << UsageText;
    err.flush();
    return Usage;
}

// "9600,N,8,1" as a line the display can listen at: one of its own rates.
std::optional<LineSettings> parseLine(const QString &text)
{
    const std::optional<LineSettings> line = LineSettings::fromString(text);
    if (!line || dspBaudIndexOf(line->baud) < 0)
        return std::nullopt;
    return line;
}

QString spacedHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// The most a settings file holds; what lies beyond would be lost without a word.
constexpr qint64 FileLimit = qint64{64} * 1024;

QString tooLong()
{
    return QStringLiteral("it is longer than 64 KiB, the most a settings file may hold");
}

// The settings from FILE: "-" is the standard input; a regular file or a pipe is read to its end
// (no more than a settings file may hold), anything else is refused with what it is.
bool readApplyFile(const QString &path, Define &settings, QString &why)
{
    if (path != QLatin1String("-")) {
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
            why = errno == ENOENT ? settingsFailureWords({.kind = FileFailure::Missing})
                                  : QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (S_ISREG(st.st_mode)) {
            if (st.st_size > FileLimit) {
                why = tooLong();
                return false;
            }
            FileFailure failure;
            if (ReadSettingsFile(path, settings, &failure))
                return true;
            why = settingsFailureWords(failure);
            return false;
        }
        if (!S_ISFIFO(st.st_mode)) {
            why = S_ISDIR(st.st_mode) ? QStringLiteral("it is a directory")
                  : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)
                      ? QStringLiteral("it is a device")
                      : QStringLiteral("it is not a regular file or a pipe");
            return false;
        }
    }
    QFile file(path);
    const bool opened = path == QLatin1String("-")
                            ? file.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered)
                            : file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (!opened) {
        why = file.errorString();
        return false;
    }
    // One byte past the limit tells a pipe that holds more from one that holds just that much.
    QByteArray text;
    while (text.size() <= FileLimit) {
        const QByteArray piece = file.read(FileLimit + 1 - text.size());
        if (piece.isEmpty())
            break;
        text += piece;
    }
    if (file.error() != QFileDevice::NoError) {
        why = file.errorString();
        return false;
    }
    if (text.size() > FileLimit) {
        why = tooLong();
        return false;
    }
    QBuffer buffer(&text);
    if (buffer.open(QIODevice::ReadOnly) && readSettings(buffer, settings))
        return true;
    why = settingsFailureWords({.kind = FileFailure::NotSettings});
    return false;
}

// Where the port leads, for the dry run: "COM1 → /dev/serial/by-id/…, present", "no COM1 entry
// here, so the built-in /dev/ttyS0, present", or the device named with --port.
QString portLine(const ComEntry &e)
{
    if (!e.builtIn)
        return describeComEntry(e);
    return QStringLiteral("no COM%1 entry here, so the built-in %2, %3")
        .arg(QString::number(e.port), e.entry,
             e.kind == ComEntry::Device ? QStringLiteral("present")
             : e.kind == ComEntry::Missing
                 ? QStringLiteral("which does not exist")
                 : comEntryWhat(e) + QStringLiteral(", not a serial device"));
}

// The lines after a failed open of a device named with --port: the adapters to name instead (a
// COMn link, which the file's port would need, does not help there).
QString deviceHints(const QString &root)
{
    const QList<SerialAdapter> adapters = findSerialAdapters(root);
    if (adapters.isEmpty())
        return adapterHints(1, QString(), adapters); // says that none was found
    QStringList lines{QStringLiteral("Serial adapters on this machine:")};
    for (const SerialAdapter &adapter : adapters) {
        lines << (adapter.name == adapter.device
                      ? QStringLiteral("  %1").arg(adapter.name)
                      : QStringLiteral("  %1 \u2192 %2").arg(adapter.name, adapter.device));
    }
    lines << QStringLiteral("To use the first of them: --port %1").arg(adapters.front().name);
    return lines.join(QLatin1Char('\n'));
}

// Lines of text that may hold names from the machine: each line escaped on its own.
QString terminalLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = terminalText(line);
    return lines.join(QLatin1Char('\n'));
}

// Opens the port at the line settings the display listens at now. On failure says why and what
// the machine has, and gives the exit status.
int openDisplayPort(SetupApply &run, const LineSettings &line, const Define &settings,
                    const QString &device, const QString &root, QTextStream &err)
{
    try {
        run.open(line);
        return Done;
    } catch (const PortError &error) {
        err << "poleset: the port cannot be opened at " << line.toString() << ": "
            << terminalText(portFailureReason(error.failure())) << "\n";
        const QString hints = device.isEmpty() ? adapterHints(settings.ComPort, settings.AppDir,
                                                              findSerialAdapters(root))
                                               : deviceHints(root);
        if (!hints.isEmpty())
            err << terminalLines(hints) << "\n";
        err.flush();
        return PortFailed;
    }
}

constexpr QLatin1String PortGone("the port went away (the device vanished or hung up)");

// How the failed item's progress line ends: "failed", "sent, closing frame failed", ...
QString applyOutcome(const SetupApply &run, int stoppedBy)
{
    if (stoppedBy)
        return (run.itemSent() ? QStringLiteral("sent, then %1") : QStringLiteral("stopped by %1"))
            .arg(TerminationSignals::name(stoppedBy));
    if (!run.itemSent())
        return QStringLiteral("failed");
    return run.sendOutcome().reopenFailed ? QStringLiteral("sent, port not opened again")
                                          : QStringLiteral("sent, closing frame failed");
}

// What went wrong with the failed item and what the display holds now.
QString applyFailure(const SetupApply &run, int stoppedBy)
{
    const SendOutcome &o = run.sendOutcome();
    const QString signal = stoppedBy ? TerminationSignals::name(stoppedBy) : QString();
    if (!run.itemSent()) {
        if (stoppedBy)
            return QStringLiteral("%1 came before its frame was whole; the display holds the "
                                  "items before it")
                .arg(signal);
        return o.item == SendOutcome::PortGone
                   ? QString(PortGone)
                   : QStringLiteral("a byte of its frame did not leave the port within 2 seconds");
    }
    // Once the item's own frame has gone out whole the display holds the new value: say so, so
    // that nobody takes the item for unsent.
    QString what;
    if (stoppedBy)
        what = QStringLiteral("then %1 came").arg(signal);
    else if (o.reopenFailed)
        what = QStringLiteral("the port could not be opened again at %1 (%2)")
                   .arg(o.line.toString(), portFailureReason(o.reopenFailed->failure()));
    else if (o.closing == SendOutcome::PortGone)
        what = PortGone + QStringLiteral(" before its closing frame left");
    else
        what = QStringLiteral("its closing frame did not leave the port within 2 seconds");
    const ApplyItem &item = run.items()[size_t(run.failedItem() - 1)];
    QString text = QStringLiteral("%1 was sent; %2").arg(item.name, what);
    if (o.lineChanged)
        text += QStringLiteral("; the display may now listen at %1").arg(o.line.toString());
    return text;
}

// Writes a piece of the progress and hands it to the terminal at once: a set-up takes half a
// minute, and the reader watches it item by item.
void progress(QTextStream &err, const QString &text)
{
    err << text;
    err.flush();
}

} // namespace

QString terminalText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            shown += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

bool wantsCommandLine(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-')))
            continue;
        // QCommandLineParser takes -name like --name, and --name=value.
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1)
                                 .section(QLatin1Char('='), 0, 0);
        if (std::find(OptionNames.begin(), OptionNames.end(), name) != OptionNames.end())
            return true;
    }
    return false;
}

int checkWindowStart(const QStringList &arguments, const QProcessEnvironment &environment,
                     QTextStream &err)
{
    const auto refuse = [&err](const QString &message) {
        err << "poleset: " << terminalText(message) << " (poleset --help shows the options)\n";
        err.flush();
        return int(Usage);
    };
    QString platform = environment.value(QStringLiteral("QT_QPA_PLATFORM"));
    bool displayNamed = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(QLatin1Char('-')) || argument.size() < 2)
            return refuse(QStringLiteral("unexpected argument %1").arg(argument));
        // Qt takes -name and --name alike.
        const QString option = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const QString name = option.section(QLatin1Char('='), 0, 0);
        const auto known = std::find_if(std::begin(QtOptions), std::end(QtOptions),
                                        [&name](const QtOption &o) { return o.name == name; });
        if (known == std::end(QtOptions))
            return refuse(QStringLiteral("unknown option %1").arg(argument));
        if (option.contains(QLatin1Char('='))) {
            if (std::find(QtAssignedOptions.begin(), QtAssignedOptions.end(), name) ==
                QtAssignedOptions.end())
                return refuse(QStringLiteral("unknown option %1").arg(argument));
            continue;
        }
        if (!known->value)
            continue;
        if (++i == arguments.size())
            return refuse(QStringLiteral("%1 needs a value").arg(argument));
        if (name == QLatin1String("platform"))
            platform = arguments.at(i);
        displayNamed = displayNamed || name == QLatin1String("display");
    }
    // Qt would end with an abort and a core dump here, after a text about reinstalling.
    if (needsScreen(platform) && !displayNamed &&
        environment.value(QStringLiteral("DISPLAY")).isEmpty() &&
        environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()) {
        err << "poleset: no screen to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
               "set): start PoleSet in a desktop session, or set up the display from this "
               "terminal with poleset --apply FILE\n";
        err.flush();
        return NoScreen;
    }
    return -1;
}

int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err,
                   const CommandLineSystem &system)
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
    const QCommandLineOption verbose(QStringLiteral("verbose"), QString());
    parser.addOptions({help, version, apply, port, lineOption, dryRun, quiet, verbose});
    if (!parser.parse(arguments))
        return usageError(err, parser.errorText());
    // The same trace as QT_LOGGING_RULES="poleset.*.debug=true".
    if (parser.isSet(verbose))
        QLoggingCategory::setFilterRules(QStringLiteral("poleset.*.debug=true"));
    if (parser.isSet(help)) {
        out << UsageText << HelpText;
        return Done;
    }
    if (parser.isSet(version)) {
        out << "poleset " << Version::Text << "\n" << Version::Copyright << "\n";
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
    settings.startDir = StartDir::current();
    QString why;
    if (!readApplyFile(path, settings, why)) {
        err << "poleset: cannot read "
            << (path == QLatin1String("-") ? QStringLiteral("the standard input")
                                           : terminalText(path))
            << ": " << terminalText(why) << "\n";
        return Usage;
    }
    // The display talks at the file's own settings unless told otherwise.
    std::optional<LineSettings> line = settings.line();
    if (parser.isSet(lineOption) && !(line = parseLine(parser.value(lineOption))))
        return usageError(err, QStringLiteral("--line takes BAUD,P,D,1 with one of the display's "
                                              "rates, N, E or O, 7 or 8: not \"%1\"")
                                   .arg(parser.value(lineOption)));
    QString device;
    if (parser.isSet(port)) {
        // The ports the window and the file know, or a device by its full path.
        static const QRegularExpression com(QStringLiteral("^COM([1-4])$"),
                                            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = com.match(parser.value(port));
        if (m.hasMatch())
            settings.ComPort = m.captured(1).toInt();
        else if (parser.value(port).startsWith(QLatin1Char('/')))
            device = parser.value(port);
        else
            return usageError(err, QStringLiteral("--port takes COM1 to COM4 or the absolute path "
                                                  "of a device, not \"%1\"")
                                       .arg(parser.value(port)));
    }

    const int count = int(applyItems(settings).size());
    const auto head = [count](int n, const ApplyItem &item) {
        return QStringLiteral("[%1/%2] %3").arg(n).arg(count).arg(item.name);
    };
    if (parser.isSet(dryRun)) {
        const ComEntry entry =
            device.isEmpty() ? inspectComEntry(settings.ComPort, settings.startDir, system.root)
                             : inspectDevice(device);
        out << "Port: " << terminalText(portLine(entry)) << "\n";
        out << "PC port at " << line->toString() << "\n";
        // The same Sends as a real run, over a port that takes every byte at once.
        DryRunPort port;
        InstantClock clock;
        SetupApply run(settings, port, clock);
        bool closing = false;
        run.started = [&](int, const ApplyItem &) { closing = false; };
        run.frame = [&](int n, const ApplyItem &item, const QByteArray &wire) {
            out << head(n, item) << (closing ? ", closing frame: " : ": ") << spacedHex(wire)
                << "\n";
            closing = true;
        };
        run.lineChanged = [&](int n, const ApplyItem &item, const LineSettings &now) {
            out << head(n, item) << ": PC port now at " << now.toString() << "\n";
        };
        run.open(*line);
        run.run();
        return Done;
    }

    std::unique_ptr<SystemClock> systemClock;
    Clock *clock = system.clock;
    if (!clock)
        clock = (systemClock = std::make_unique<SystemClock>()).get();
    std::unique_ptr<QtPortAdapter> qtPort;
    PortAdapter *adapter = system.port;
    if (!adapter) {
        qtPort = std::make_unique<QtPortAdapter>(settings.startDir);
        if (!device.isEmpty())
            qtPort->setFixedDevice(device);
        adapter = qtPort.get();
    }
    QElapsedTimer took;
    took.start();
    SetupApply run(settings, *adapter, *clock);
    if (const int status = openDisplayPort(run, *line, settings, device, system.root, err))
        return status;
    const bool talk = !parser.isSet(quiet);
    run.started = [&](int n, const ApplyItem &item) {
        if (talk)
            progress(err, QStringLiteral("[%1/%2] %3: %4 ... ")
                              .arg(n)
                              .arg(count)
                              .arg(item.name, terminalText(item.value)));
    };
    run.sent = [&](int, const ApplyItem &) {
        if (talk)
            progress(err, QStringLiteral("sent\n"));
    };
    // A terminal closing, Ctrl+C or a service manager ends the run between two bytes, and the
    // summary says what the display got.
    int stoppedBy = 0;
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, [&](int signal) {
        if (stoppedBy == 0)
            run.stop(), stoppedBy = signal;
    });
    if (!run.run()) {
        const ApplyItem &item = run.items()[size_t(run.failedItem() - 1)];
        if (talk)
            err << applyOutcome(run, stoppedBy) << "\n";
        err << "poleset: stopped at [" << run.failedItem() << "/" << count << "]";
        if (!run.itemSent())
            err << " " << item.name;
        err << ": " << terminalText(applyFailure(run, stoppedBy)) << "; nothing more was sent\n";
        err.flush();
        return stoppedBy ? 128 + stoppedBy : Stopped;
    }
    if (talk)
        progress(err, QStringLiteral("Set up in %1 s\n")
                          .arg(QString::number(took.elapsed() / 1000.0, 'f', 1)));
    return Done;
}
