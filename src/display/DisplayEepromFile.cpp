#include "DisplayEepromFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr char Header[] = "poleset-display EEPROM";
constexpr qint64 MaxSize = 16384;

struct Field
{
    const char *key;
    int DisplayEeprom::*value;
    int last;
};

constexpr Field Fields[] = {{"Emulation", &DisplayEeprom::emulation, 1},
                            {"CodePage", &DisplayEeprom::codePage, 9},
                            {"INChar", &DisplayEeprom::inChar, 15},
                            {"Communication", &DisplayEeprom::communication, 5},
                            {"Baud", &DisplayEeprom::baud, 7}};

// Printable ASCII stays readable; every other byte, and '%', is %XX.
QByteArray encodeMessage(const QByteArray &bytes)
{
    return bytes.toPercentEncoding(" !\"#$&'()*+,/:;<=>?@[\\]^`{|}");
}

} // namespace

QByteArray encodeEeprom(const DisplayEeprom &eeprom)
{
    QByteArray text = QByteArray(Header) + '\n';
    for (const Field &field : Fields)
        text += field.key + QByteArray("=") + QByteArray::number(eeprom.*field.value) + '\n';
    text += "Upper=" + encodeMessage(eeprom.upperLine) + '\n';
    text += "Lower=" + encodeMessage(eeprom.lowerLine) + '\n';
    return text;
}

bool decodeEeprom(const QByteArray &text, DisplayEeprom *eeprom, QString *why)
{
    QList<QByteArray> lines = text.split('\n');
    if (lines.constLast().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    if (lines.isEmpty() || lines.constFirst() != Header) {
        *why = QStringLiteral("not a display EEPROM file");
        return false;
    }
    QHash<QByteArray, QByteArray> values;
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const qsizetype equals = lines[n].indexOf('=');
        const QByteArray key = lines[n].left(equals);
        if (equals < 1 || values.contains(key)) {
            *why = QStringLiteral("line %1 is broken").arg(n + 1);
            return false;
        }
        values.insert(key, lines[n].mid(equals + 1));
    }
    DisplayEeprom read;
    for (const Field &field : Fields) {
        bool ok = false;
        const int value = values.take(field.key).toInt(&ok);
        if (!ok || value < 0 || value > field.last) {
            *why = QStringLiteral("%1 is missing or out of range").arg(QLatin1String(field.key));
            return false;
        }
        read.*field.value = value;
    }
    if (!values.contains("Upper") || !values.contains("Lower")) {
        *why = QStringLiteral("a demo message is missing");
        return false;
    }
    read.upperLine = QByteArray::fromPercentEncoding(values.take("Upper"));
    read.lowerLine = QByteArray::fromPercentEncoding(values.take("Lower"));
    if (!values.isEmpty()) {
        *why = QStringLiteral("unknown key %1").arg(QString::fromLatin1(values.constBegin().key()));
        return false;
    }
    *eeprom = read;
    return true;
}

bool loadEeprom(const QString &path, DisplayEeprom *eeprom, QString *why)
{
    // The file's own entry, not what a link there points to: a link is not followed out of the
    // folder, neither to read nor to write.
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        *why = QStringLiteral("no such file");
        return false;
    }
    if (info.isSymLink() || !info.isFile()) {
        *why = info.isSymLink() ? QStringLiteral("a symbolic link, not followed")
                                : QStringLiteral("not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return false;
    }
    if (file.size() > MaxSize) {
        *why = QStringLiteral("not a display EEPROM file");
        return false;
    }
    return decodeEeprom(file.read(MaxSize), eeprom, why);
}

bool saveEeprom(const QString &path, const DisplayEeprom &eeprom, QString *why)
{
    // A directory or device in its place is left alone; a regular file or a symbolic link is
    // replaced in one step by a new file written beside it (QSaveFile would write through a
    // link to its target).
    const QFileInfo info(path);
    if (info.exists() && !info.isSymLink() && !info.isFile()) {
        *why = QStringLiteral("not a regular file");
        return false;
    }
    QTemporaryFile file(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!file.open() || file.write(encodeEeprom(eeprom)) < 0 || !file.flush() ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
        *why = file.errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    // On disk before it takes the old file's place, so a crash leaves one whole file or the other.
    if (::fsync(file.handle()) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
#endif
    file.close();
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(info.absoluteFilePath()).constData()) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    file.setAutoRemove(false);
    return true;
}
