#include "SetupCommands.h"

#include "Ansi.h"
#include "Define.h"
#include "SerialLink.h"

#include <iterator>

namespace {

struct ListCommand
{
    char letter;
    char firstCode; // the code of list index 0
    int count;
};

// Indexed by SetupItem; the message rows have no list.
constexpr ListCommand ListCommands[] = {
    {'S', '0', 16}, // international character set: '0'..'?'
    {'T', '0', 10}, // code page
    {'C', '0', 2},  // command emulation
    {0, 0, 0},      // upper line message
    {0, 0, 0},      // lower line message
    {'P', '1', 6},  // communication format: the display counts these from '1'
    {'B', '0', int(std::size(DspBaudRates))},
};

QString listPayload(const ListCommand &command, int listIndex)
{
    if (listIndex < 0 || listIndex >= command.count)
        return {};
    const char bytes[] = {command.letter, static_cast<char>(command.firstCode + listIndex)};
    return bytesToHexText(QByteArrayView(bytes, 2));
}

constexpr PcLineFormat PcLineFormats[] = {{0, 8}, {0, 7}, {1, 8}, {1, 7}, {2, 8}, {2, 7}};

} // namespace

QString messageHexText(const QString &text)
{
    QByteArray bytes = toAnsi(text);
    for (char &byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x20 || code == 0x7F)
            byte = '?';
    }
    return bytesToHexText(bytes);
}

QString setupItemPayload(int item, int listIndex, const QString &text)
{
    switch (item) {
    case SetupUpperLine:
        return QStringLiteral("4C31") + messageHexText(text);
    case SetupLowerLine:
        // STX ENQ 'L' '2' message ETX: the frame is part of the payload.
        return QStringLiteral("02054C32") + messageHexText(text) + QStringLiteral("03");
    case SetupINChar:
    case SetupCodePage:
    case SetupEmulation:
    case SetupCommunication:
    case SetupBaud:
        return listPayload(ListCommands[item], listIndex);
    default:
        return {};
    }
}

bool setupItemIsRaw(int item)
{
    return item == SetupLowerLine;
}

QString resetItemPayload(int item)
{
    if (item < ResetAll || item > ResetLowerLine)
        return {};
    // BEL followed by '1'..'3'.
    const char bytes[] = {0x07, static_cast<char>('1' + item)};
    return bytesToHexText(QByteArrayView(bytes, 2));
}

QString ClosingFrame()
{
    return QStringLiteral("0B") + bytesToHexText("Ready!");
}

PcLineFormat pcLineForCommunication(int index)
{
    return PcLineFormats[qBound(0, index, int(std::size(PcLineFormats)) - 1)];
}

int pcBaudForDspBaud(int index)
{
    return DspBaudRates[qBound(0, index, int(std::size(DspBaudRates)) - 1)];
}

bool followDisplayLine(Define &define, int item)
{
    if (item == SetupCommunication) {
        const PcLineFormat format = pcLineForCommunication(define.DspCommunication);
        define.ComParity = format.parity;
        define.ComBitLen = format.bitLen;
        return true;
    }
    if (item == SetupBaud) {
        define.ComBaud = pcBaudForDspBaud(define.DspBaud);
        return true;
    }
    return false;
}
