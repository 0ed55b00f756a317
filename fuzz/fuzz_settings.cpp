// Any bytes as a settings file: the reader must neither crash nor hang, and must leave every
// setting in its valid range; a written file must read back to the same settings.
#include "SettingsFile.h"

#include <QBuffer>
#include <QDateTime>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    Define define;
    readSettings(in, define);

    const bool inRange =
        define.ComPort >= 1 && define.ComPort <= 4 && define.ComParity >= 0 &&
        define.ComParity <= 2 && (define.ComBitLen == 7 || define.ComBitLen == 8) &&
        define.DspINChar >= 0 && define.DspINChar <= 15 && define.DspCodePage >= 0 &&
        define.DspCodePage <= 9 && define.DspEmulation >= 0 && define.DspEmulation <= 1 &&
        define.DspCommunication >= 0 && define.DspCommunication <= 5 &&
        dspBaudIndexOf(define.ComBaud) == define.DspBaud;
    if (!inRange)
        std::abort();

    QByteArray written = encodeSettings(define, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    QBuffer back(&written);
    back.open(QIODevice::ReadOnly);
    Define again;
    readSettings(back, again);
    // Messages may lose line breaks on the way (they would split the line); all else returns.
    again.DspUpperLine = define.DspUpperLine;
    again.DspLowerLine = define.DspLowerLine;
    if (again.ComPort != define.ComPort || again.ComBaud != define.ComBaud ||
        again.ComParity != define.ComParity || again.ComBitLen != define.ComBitLen ||
        again.DspINChar != define.DspINChar || again.DspCodePage != define.DspCodePage ||
        again.DspEmulation != define.DspEmulation)
        std::abort();
    return 0;
}
