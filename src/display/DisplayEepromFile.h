#pragma once

#include "DisplayDecoder.h"

#include <QByteArray>
#include <QString>

// The simulated display's EEPROM kept between runs, as a real display keeps it across a power
// cycle: a small text file, a header line and one key=value a line, the demo messages
// percent-encoded so that any byte survives. Demo mode is a state, not a setting: not kept.

QByteArray encodeEeprom(const DisplayEeprom &eeprom);

// The EEPROM in `text`; false, with the reason in *why, for anything but a whole, well-formed
// file of ours (every key once, every value in range). *eeprom is left alone then.
bool decodeEeprom(const QByteArray &text, DisplayEeprom *eeprom, QString *why);

// decodeEeprom of the file at `path`: false for a file that is missing, a symbolic link, not a
// regular file, unreadable or not ours, the reason in *why.
bool loadEeprom(const QString &path, DisplayEeprom *eeprom, QString *why);

// Replaces the file as a whole, atomically, by a file written in its own folder; a symbolic link
// in its place is replaced, not followed. False with the reason in *why; a directory or device
// in its place is left alone.
bool saveEeprom(const QString &path, const DisplayEeprom &eeprom, QString *why);
