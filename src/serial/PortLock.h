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

// Makes way for opening `device`: a lock file whose holder lives (or whose holder cannot be told)
// is left alone and named in the text returned, which follows "DEVICE is busy: ", e.g.
// "minicom (PID 4242) holds it (lock file /run/lock/LCK..ttyUSB0)"; one whose holder has ended
// is removed. Empty when the way is clear.
QString clearPortLocks(const QString &device, const QString &root = QStringLiteral("/"));
