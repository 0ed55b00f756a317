#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The serial line's settings as one value, and the line tables that PoleSet and the display
// share: the display's baud list and its communication formats. The "9600,N,8,1" text is made
// and read here only.

enum class Parity { None = 0, Even = 1, Odd = 2 };

// 'N', 'E' or 'O'; and back, in either case.
QChar parityLetter(Parity parity);
std::optional<Parity> parityOfLetter(QChar letter);

struct LineSettings
{
    int baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;

    bool operator==(const LineSettings &) const = default;

    // "9600,N,8,1": baud in decimal, parity letter, data bits, stop bits.
    QString toString() const;
    // The same text back; blanks around the fields and a lower-case letter are taken. Only what
    // PoleSet's ports can do is a line: a positive rate, 7 or 8 data bits, one stop bit.
    static std::optional<LineSettings> fromString(QStringView text);
};

// The display's baud list in its stored order: 9600 down to 300, then 38400 before 19200.
inline constexpr std::array<int, 8> DspBaudRates = {9600, 4800, 2400, 1200, 600, 300, 38400, 19200};

// Index of a rate in DspBaudRates, or -1.
int dspBaudIndexOf(int rate);

// The display's communication formats in list order: N-8, N-7, E-8, E-7, O-8, O-7, one stop bit.
struct CommunicationFormat
{
    Parity parity;
    int dataBits;
};
inline constexpr std::array<CommunicationFormat, 6> DspCommunicationFormats = {{{Parity::None, 8},
                                                                                {Parity::None, 7},
                                                                                {Parity::Even, 8},
                                                                                {Parity::Even, 7},
                                                                                {Parity::Odd, 8},
                                                                                {Parity::Odd, 7}}};

// Index of a format in DspCommunicationFormats, or -1.
int dspCommunicationOf(Parity parity, int dataBits);
