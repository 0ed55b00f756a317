#pragma once

#include "PortAdapter.h"
#include "SerialDevices.h"
#include "SettingsFile.h"

#include <QList>
#include <QString>

// The words for what the lower layers find: where a COM number leads, why a port did not open,
// which adapters the machine has, why the settings file was not read or saved. Those layers
// report facts; the window's boxes and tool tips and the command line say them in these words.

// One line for the Interface Set port items and the port error box, e.g.
// "COM1 → /dev/ttyUSB0, present" or "COM1 → /dev/serial/by-id/usb-…, which does not exist".
QString describeComEntry(const ComEntry &entry);
// What an entry that is no device is instead ("a plain file"), or why it cannot be looked up;
// empty for the other kinds.
QString comEntryWhat(const ComEntry &entry);

// Why the port did not open or take its settings, in one line, advice included.
QString portFailureReason(const PortFailure &failure);

// The lines below a port failure: the adapters found and the one command, to run in `appDir`,
// that makes COMn point at the first of them; or that none was found.
QString adapterHints(int port, const QString &appDir, const QList<SerialAdapter> &adapters);

// The informative text of the port error box for a port that could not be opened: the reason;
// when there was no COMn entry, that the built-in port was tried instead; the adapters found with
// the command that links COMn to the first; and the reason's advice (the dialout hint) last.
QString portErrorDetails(int port, const QString &appDir, const PortFailure &failure,
                         const QList<SerialAdapter> &adapters);

// Why the settings file was not read or saved, e.g. "it is not a regular file, so it is left
// alone".
QString settingsFailureWords(const FileFailure &failure);
