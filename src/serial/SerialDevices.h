#pragma once

#include <QList>
#include <QString>

// Which device a COM number stands for on this machine, what is at that place right now, and
// which serial adapters the machine has. Every function looks at a directory tree only: `root` is
// "/" on a real machine and a scratch directory in tests, and paths are given as seen from it.

// What COMn is now: the entry named COMn in the start-up directory when there is one (usually a
// symbolic link to a device), else the built-in port /dev/ttyS{n-1}.
struct ComEntry
{
    enum Kind {
        Device,     // leads to a character device, which can be opened
        Missing,    // leads nowhere: a link to a path that does not exist, a built-in port absent
        Loop,       // a symbolic link that never ends
        NotADevice, // a plain file, a directory or anything else that is not a device
    };
    int port = 0;
    Kind kind = Missing;
    bool builtIn = false; // there is no COMn entry: the built-in port
    QString entry;        // the COMn entry, or the built-in port's device
    QString device;       // the path to open: the final target of a link, else `entry`
    QString linkTarget;   // a link's target as written, empty for anything else
    QString what;         // for NotADevice: "a plain file", "a directory", ...
};

ComEntry inspectComEntry(int port, const QString &appDir,
                         const QString &root = QStringLiteral("/"));
// The same for a device given by its path; `port` is 0.
ComEntry inspectDevice(const QString &path);

// Whether opening COMn may be tried without the user choosing the port again: its COMn entry
// leads to a device, or, without an entry, the built-in port is the device `openedBefore` (the
// built-in ports are never opened on their own otherwise). One stat while nothing is there.
bool comDeviceAvailable(int port, const QString &appDir, const QString &openedBefore,
                        const QString &root = QStringLiteral("/"));

// One line for the Interface Set port items and the port error box, e.g.
// "COM1 → /dev/ttyUSB0, present" or "COM1 → /dev/serial/by-id/usb-…, which does not exist".
QString describeComEntry(const ComEntry &entry);

struct SerialAdapter
{
    QString name;   // the stable name to link to: a /dev/serial/by-id entry, or the device itself
    QString device; // the device it is now
};

// The /dev/serial/by-id entries whose devices are present, by name; without any, the
// /dev/ttyUSB* and /dev/ttyACM* devices. Built-in ports are never listed.
QList<SerialAdapter> findSerialAdapters(const QString &root = QStringLiteral("/"));

// The lines below a port failure: the adapters found and the one command, to run in `appDir`,
// that makes COMn point at the first of them; or that none was found.
QString adapterHints(int port, const QString &appDir, const QString &root = QStringLiteral("/"));
