#pragma once

#include <QString>
#include <QStringList>

class Clock;
class PortAdapter;
class QProcessEnvironment;
class QTextStream;

// What the terminal side uses of the machine; tests put their own in place.
struct CommandLineSystem
{
    Clock *clock = nullptr;             // the system clock when null
    PortAdapter *port = nullptr;        // the serial port over Qt SerialPort when null
    QString root = QStringLiteral("/"); // where /dev is looked for
};

// Whether `arguments` (starting with the program's name) ask for the terminal side: one of
// PoleSet's own options is there. Anything else (Qt's -platform, -style, -reverse, ...) is left
// to the application object, and the window starts.
bool wantsCommandLine(const QStringList &arguments);

// Before the window starts, without touching the display server: Qt's own options (-platform,
// -style, -display, ...) are left to Qt, anything else is a usage error (2); without a screen to
// show the window on, says so and how to set up from a terminal instead (1). -1: start the window.
int checkWindowStart(const QStringList &arguments, const QProcessEnvironment &environment,
                     QTextStream &err);

// PoleSet from a terminal: --help, --version, and --apply, which sets up the display from a
// settings file without the window. Needs no display server. `arguments` start with the
// program's name. Returns the exit status: 0 done, 1 the port cannot be opened, 2 bad usage or an
// unreadable file, 3 the port went away or a frame did not go out part-way. Every text that comes
// from a file, a device name or the arguments is shown with its control characters escaped.
int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err,
                   const CommandLineSystem &system = {});

// `text` as a terminal may show it: C0 controls, DEL and C1 controls as \xHH, the rest unchanged.
QString terminalText(const QString &text);
