#pragma once

#include <QString>

// The lock files by which serial programs keep out of each other's ports: "LCK..NAME" in
// run/lock and var/lock below `root` ("/" on a machine, a scratch tree in tests), NAME being the
// device's path below /dev with '/' as '_' (so /dev/pts/3 has LCK..pts_3), as Qt names them too.
// The file holds its holder's PID: in ten ASCII columns ("%10d\n", the common form), as the first
// of Qt's lines (PID, program, host), or as four bytes in the machine's own order.
//
// Qt 6.4's own lock (QLockFile, taken by QSerialPort::open) counts a lock file without Qt's
// program line as stale and deletes it while its holder lives. So the port adapter asks here
// first and never lets Qt near a port whose lock has a live holder.

// Who keeps a port's lock file, as facts for the caller to word.
struct PortLockHolder
{
    enum Kind {
        Free,       // no lock in the way (a lock whose holder has ended was taken over)
        Lives,      // its holder `pid`, named `program` (empty when unknown), lives
        Unreadable, // the lock file cannot be read (`error`), so its holder may live
        Anonymous,  // the lock file does not say who holds it
        JustLocked, // another program locked the port while an ended holder's lock was looked at
        Stuck,      // the lock of `pid`, which has ended, cannot be removed (`error`)
    };
    Kind kind = Free;
    QString file = {}; // the lock file
    qint64 pid = 0;
    QString program = {};
    int error = 0; // errno
};

// Makes way for opening `device`: a lock file whose holder lives (or whose holder cannot be told)
// is left alone and described in what is returned; one whose holder has ended is removed.
PortLockHolder clearPortLocks(const QString &device, const QString &root = QStringLiteral("/"));
