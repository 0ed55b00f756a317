#include "LineSettings.h"

#include <QList>

#include <algorithm>

namespace {

constexpr char ParityLetters[] = {'N', 'E', 'O'};

} // namespace

QChar parityLetter(Parity parity)
{
    const int index = int(parity);
    return QLatin1Char(index >= 0 && index < 3 ? ParityLetters[index] : 'N');
}

std::optional<Parity> parityOfLetter(QChar letter)
{
    const char upper = letter.toUpper().toLatin1();
    const auto it = std::find(std::begin(ParityLetters), std::end(ParityLetters), upper);
    if (upper == 0 || it == std::end(ParityLetters))
        return std::nullopt;
    return Parity(it - std::begin(ParityLetters));
}

QString LineSettings::toString() const
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(parityLetter(parity))
        .arg(dataBits)
        .arg(stopBits);
}

std::optional<LineSettings> LineSettings::fromString(QStringView text)
{
    const QList<QStringView> fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;
    LineSettings line;
    bool ok = false;
    line.baud = fields[0].trimmed().toInt(&ok);
    if (!ok || line.baud <= 0)
        return std::nullopt;
    const QStringView letter = fields[1].trimmed();
    const std::optional<Parity> parity =
        letter.size() == 1 ? parityOfLetter(letter[0]) : std::nullopt;
    if (!parity)
        return std::nullopt;
    line.parity = *parity;
    line.dataBits = fields[2].trimmed().toInt(&ok);
    if (!ok || (line.dataBits != 7 && line.dataBits != 8))
        return std::nullopt;
    if (fields[3].trimmed() != QLatin1String("1"))
        return std::nullopt;
    return line;
}

int dspBaudIndexOf(int rate)
{
    const auto it = std::find(DspBaudRates.begin(), DspBaudRates.end(), rate);
    return it == DspBaudRates.end() ? -1 : int(it - DspBaudRates.begin());
}

int dspCommunicationOf(Parity parity, int dataBits)
{
    const auto it = std::find_if(
        DspCommunicationFormats.begin(), DspCommunicationFormats.end(),
        [&](const CommunicationFormat &f) { return f.parity == parity && f.dataBits == dataBits; });
    return it == DspCommunicationFormats.end() ? -1 : int(it - DspCommunicationFormats.begin());
}
