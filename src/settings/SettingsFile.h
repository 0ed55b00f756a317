#pragma once

#include "Define.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QIODevice;

// The settings file "PoleSet.ini": a header line and key=value lines in Windows-1252. The codec
// (readSettings, encodeSettings) works on devices and bytes; the file part (ReadSettings,
// SaveSettings) only finds, opens and replaces the file. Neither ever reports anything to the user.

// Resets everything but AppDir to the defaults, then takes the settings from `in`. A rejected
// header leaves the defaults; otherwise the display's communication index is derived from the
// PC side. Reads in chunks and keeps at most a few kilobytes of any line, whatever the input.
void readSettings(QIODevice &in, Define &define);

// The whole file text, every line ended by CR LF, stamped with `stamp`.
QByteArray encodeSettings(const Define &define, const QDateTime &stamp);

// AppDir joined with "PoleSet.ini".
QString settingsFilePath(const Define &define);

// readSettings from the settings file; a missing or unreadable file leaves the defaults.
void ReadSettings(Define &define);

// Replaces the settings file as a whole; a failed write leaves the old file untouched.
// Returns whether the new file is in place.
bool SaveSettings(const Define &define, const QDateTime &stamp = QDateTime::currentDateTime());
