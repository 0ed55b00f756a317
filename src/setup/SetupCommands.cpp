#include "SetupCommands.h"

#include "Ansi.h"
#include "Define.h"

#include <algorithm>
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
    // communication format: the display counts these from '1'
    {'P', '1', int(DspCommunicationFormats.size())},
    {'B', '0', int(DspBaudRates.size())},
};

QByteArray twoBytes(char first, char second)
{
    QByteArray bytes(2, first);
    bytes[1] = second;
    return bytes;
}

QByteArray listPayload(const ListCommand &command, int listIndex)
{
    if (listIndex < 0 || listIndex >= command.count)
        return {};
    return twoBytes(command.letter, static_cast<char>(command.firstCode + listIndex));
}

} // namespace

QByteArray messageBytes(const QString &text)
{
    QByteArray bytes = toAnsi(text);
    for (char &byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x20 || code == 0x7F)
            byte = '?';
    }
    return bytes;
}

QByteArray setupItemPayload(int item, int listIndex, const QString &text)
{
    switch (item) {
    case SetupUpperLine:
        return "L1" + messageBytes(text);
    case SetupLowerLine:
        // STX ENQ 'L' '2' message ETX: the frame is part of the payload.
        return "\x02\x05L2" + messageBytes(text) + '\x03';
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

QByteArray resetItemPayload(int item)
{
    if (item < ResetAll || item > ResetLowerLine)
        return {};
    // BEL followed by '1'..'3'.
    return twoBytes('\x07', static_cast<char>('1' + item));
}

QByteArray ClosingFrame()
{
    return QByteArrayLiteral("\x0bReady!");
}

void followDisplayLine(Define &define, int item)
{
    if (item == SetupCommunication) {
        const CommunicationFormat format = DspCommunicationFormats[size_t(
            std::clamp(define.DspCommunication, 0, int(DspCommunicationFormats.size()) - 1))];
        define.ComParity = int(format.parity);
        define.ComBitLen = format.dataBits;
    } else if (item == SetupBaud) {
        define.ComBaud =
            DspBaudRates[size_t(std::clamp(define.DspBaud, 0, int(DspBaudRates.size()) - 1))];
    }
}
