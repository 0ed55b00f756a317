#pragma once

#include <QStringList>

class Clock;
class QTextStream;

// PoleSet from a terminal: --help, --version, and --apply, which sets up the display from a
// settings file without the window. Needs no display server. `arguments` start with the
// program's name; with nothing after it the window is the caller's business. Returns the exit
// status: 0 done, 1 the port cannot be opened, 2 bad usage or an unreadable file, 3 the port went
// away or a frame did not go out part-way. `clock` stands in for the system clock in tests.
int runCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err,
                   Clock *clock = nullptr);
