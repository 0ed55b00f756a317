#pragma once

#include "StartDir.h"

#include <QList>
#include <QString>

// Which device a COM number stands for on this machine, what is at that place right now, and
// which serial adapters the machine has. Every function looks at a directory tree only: `root` is
// "/" on a real machine and a scratch directory in tests, and paths are given as seen from it.
// The COMn entries are looked up through the start-up directory's descriptor.

// What COMn is now: the entry named COMn in the start-up directory when there is one (usually a
// symbolic link to a device), else the built-in port /dev/ttyS{n-1}.
struct ComEntry
{
    enum Kind {
        Device,      // leads to a character device, which can be opened
        Missing,     // leads nowhere: a link to a path that does not exist, a built-in port absent
        Loop,        // a symbolic link that never ends
        NotADevice,  // a plain file, a directory or anything else that is not a device
        Unreachable, // the entry, or the way to where it leads, cannot be looked up
    };
    int port = 0;
    Kind kind = Missing;
    bool builtIn = false; // there is no COMn entry: the built-in port
    QString entry;        // the COMn entry, or the built-in port's device
    QString device;       // the path to open: the final target of a link, else `entry`
    QString linkTarget;   // a link's target as written, empty for anything else
    enum FileType { PlainFile, Directory, NamedPipe, Socket, BlockDevice };
    FileType fileType = PlainFile; // what a NotADevice is
    // Why an Unreachable one is: errno; 0 when the device's own path could not be read.
    int error = 0;
    QString closedStartDir; // the start-up directory, when it could not be opened
};

// The name of COM port `port`: its entry in the start-up folder, and what messages call it.
QString comName(int port);

// Only a definite "no such entry" means the built-in port; any other failure to look the entry
// up makes it Unreachable, and nothing is opened.
ComEntry inspectComEntry(int port, const StartDir &dir, const QString &root = QStringLiteral("/"));
// The same for a device given by its path; `port` is 0.
ComEntry inspectDevice(const QString &path);

// The place a COM number was found to stand for when the user chose the port (at start-up, with
// Interface Set's Set): its COMn entry, or the built-in port when there was no entry. Every later
// open goes to the same place: through the entry, followed anew (a relinked entry is still
// followed), or to the same built-in port. An entry that has gone is never swapped for the
// built-in port: that could be a printer, a scanner or the system console.
struct ChosenPort
{
    int port = 0;
    bool builtIn = false;
    QString path; // the COMn entry, or the built-in port's device
    StartDir dir; // where the COMn entry is looked up again
};

ChosenPort chooseComPort(int port, const StartDir &dir, const QString &root = QStringLiteral("/"));
// What the chosen place is now; Missing when the entry has gone.
ComEntry inspectChosenPort(const ChosenPort &chosen);
// Whether it may be opened again without the user choosing: it leads to a device, and a built-in
// port only when it is the device `openedBefore`. A few system calls, no device opened.
bool chosenPortAvailable(const ChosenPort &chosen, const QString &openedBefore);

struct SerialAdapter
{
    QString name;   // the stable name to link to: a /dev/serial/by-id entry, or the device itself
    QString device; // the device it is now
};

// The /dev/serial/by-id entries whose devices are present, by name; without any, the
// /dev/ttyUSB* and /dev/ttyACM* devices. Built-in ports are never listed.
QList<SerialAdapter> findSerialAdapters(const QString &root = QStringLiteral("/"));
