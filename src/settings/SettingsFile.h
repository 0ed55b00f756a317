#pragma once

#include "Define.h"

#include <QByteArray>
#include <QDateTime>
#include <QLoggingCategory>
#include <QString>

class QIODevice;

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

// The settings file "PoleSet.ini": a header line and key=value lines in Windows-1252. The codec
// (readSettings, encodeSettings) works on devices and bytes; the file part (ReadSettings,
// SaveSettings) only finds, opens and replaces the file. Neither ever reports anything to the user.

// Resets everything but the start-up directory to the defaults, then takes the settings from
// `in`. A UTF-8 byte-order mark before the header is skipped. A rejected header leaves the
// defaults; otherwise the display's communication index is derived from the PC side. Reads at
// most 64 KiB, in chunks, and keeps at most 4 KiB of any line.
// False when the header was rejected.
bool readSettings(QIODevice &in, Define &define);

// The whole file text, every line ended by CR LF, stamped with `stamp`.
QByteArray encodeSettings(const Define &define, const QDateTime &stamp);

// AppDir joined with "PoleSet.ini", for texts. The file itself is found through startDir.
QString settingsFilePath(const Define &define);

// Why the settings file could not be read or saved, as facts for the caller to word.
struct FileFailure
{
    enum Kind {
        None,
        Missing,        // there is no such file
        NotRegular,     // something else in its place, which is not read
        LeftAlone,      // something else in its place, which is not written
        NotSettings,    // its first line does not begin with the header
        StartDirClosed, // the start-up directory `startDir` could not be opened
        System,         // the system's (or Qt's) words in `system`
    };
    Kind kind = None;
    QString system = {};
    QString startDir = {};
};

// readSettings from the file at `path`. False, with the reason in *why, for a file that is
// missing, not a regular file, unreadable or without the header; the defaults hold then.
bool ReadSettingsFile(const QString &path, Define &define, FileFailure *why = nullptr);

// ReadSettingsFile from "PoleSet.ini" in the start-up directory, saying nothing.
void ReadSettings(Define &define);

// Replaces "PoleSet.ini" in the start-up directory as a whole, keeping its mode and (for root) its
// owner; where the directory takes no new files, or a link stands in the file's place, writes the
// file in place instead. A failed save leaves the old file as it was and gives the reason in
// *why. Something other than a regular file in the file's place is never written.
bool SaveSettings(const Define &define, FileFailure *why = nullptr,
                  const QDateTime &stamp = QDateTime::currentDateTime());
