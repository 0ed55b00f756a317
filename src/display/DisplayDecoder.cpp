#include "DisplayDecoder.h"

#include "CodePages.h"

#include <QLocale>

#include <array>
#include <utility>

namespace {

constexpr unsigned char Stx = 0x02;
constexpr unsigned char Etx = 0x03;
constexpr unsigned char Enq = 0x05;
constexpr unsigned char Bel = 0x07;
constexpr unsigned char Lf = 0x0A;
constexpr unsigned char Vt = 0x0B;
constexpr unsigned char Ff = 0x0C;
constexpr unsigned char Cr = 0x0D;
constexpr unsigned char Dc1 = 0x11;
constexpr unsigned char Dc3 = 0x13;
constexpr unsigned char Can = 0x18;
constexpr unsigned char Esc = 0x1B;
constexpr unsigned char Us = 0x1F;

// What each value of a set-up command means to the display, in the order of its codes. Written
// from the display's own description, not taken from PoleSet: a sender whose tables went wrong
// is caught here, not mirrored.
constexpr std::array<const char *, NationalSetCount> InChars = {"U.S.A",
                                                                "France",
                                                                "Germany",
                                                                "U.K",
                                                                "Denmark I",
                                                                "Sweden",
                                                                "Italy",
                                                                "Spain",
                                                                "Japan",
                                                                "Norway",
                                                                "Denmark II",
                                                                "Slavonic",
                                                                "Russia",
                                                                "Factory define I",
                                                                "Factory define II",
                                                                "User define"};
constexpr std::array<const char *, CodePageCount> CodePageNames = {"PC437(USA,Std-EUR)",
                                                                   "Katakana for Japan",
                                                                   "PC850(Multilingual)",
                                                                   "PC860(Portuguese)",
                                                                   "PC863(Canadian-Fr)",
                                                                   "PC865(Nordic)",
                                                                   "Slavonic",
                                                                   "Russia",
                                                                   "PC858(Euro)",
                                                                   "Windows code"};
constexpr std::array<const char *, 2> Emulations = {"T3150-LC", "ESC/POS"};
// 'P' '1'..'6': parity, then data bits; one stop bit always.
constexpr std::array<LineFormat, 6> Communications = {
    {{0, 'N', 8}, {0, 'N', 7}, {0, 'E', 8}, {0, 'E', 7}, {0, 'O', 8}, {0, 'O', 7}}};
constexpr std::array<int, 8> BaudRates = {9600, 4800, 2400, 1200, 600, 300, 38400, 19200};

template<std::size_t N> QString caption(const std::array<const char *, N> &names, int index)
{
    return index >= 0 && index < int(N) ? QString::fromLatin1(names[index]) : QString();
}

QString hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

QByteArray blankLine()
{
    return QByteArray(DisplayDecoder::Columns, ' ');
}

// What a byte sent in another format leaves on the glass: always a glyph of the upper half,
// never a control code, so noise cannot command anything.
unsigned char strayGlyph(unsigned char byte)
{
    return static_cast<unsigned char>(0x80 | ((byte * 37 + 0x2B) & 0x7F));
}

} // namespace

QString inCharCaption(int index)
{
    return caption(InChars, index);
}

QString codePageCaption(int index)
{
    return caption(CodePageNames, index);
}

QString emulationCaption(int index)
{
    return caption(Emulations, index);
}

QString communicationCaption(int index)
{
    if (index < 0 || index >= int(Communications.size()))
        return {};
    const LineFormat &format = Communications[index];
    return QStringLiteral("%1-%2-1").arg(QLatin1Char(format.parity)).arg(format.dataBits);
}

QString baudCaption(int index)
{
    if (index < 0 || index >= int(BaudRates.size()))
        return {};
    return QLocale(QLocale::English).toString(BaudRates[index]) + QStringLiteral("bps");
}

LineFormat listeningFormat(const DisplayEeprom &eeprom)
{
    LineFormat format = Communications[qBound(0, eeprom.communication, 5)];
    format.bps = BaudRates[qBound(0, eeprom.baud, 7)];
    return format;
}

QString formatText(const LineFormat &format)
{
    return QLocale(QLocale::English).toString(format.bps) +
           QStringLiteral("bps %1-%2-1").arg(QLatin1Char(format.parity)).arg(format.dataBits);
}

DisplayDecoder::DisplayDecoder()
{
    m_screen.fill(blankLine());
}

void DisplayDecoder::setEeprom(const DisplayEeprom &eeprom)
{
    flush();
    m_eeprom = eeprom;
    clearScreen();
    overwriteBoth();
    m_state = State::Text;
    m_ffPending = false;
    m_frame.clear();
}

void DisplayDecoder::setLine(const LineFormat &line)
{
    if (line == m_line)
        return;
    flushNoise();
    m_line = line;
}

void DisplayDecoder::feed(QByteArrayView bytes)
{
    for (const char byte : bytes)
        feedByte(static_cast<unsigned char>(byte));
}

qsizetype DisplayDecoder::feedUntilNewFormat(QByteArrayView bytes)
{
    const LineFormat before = listeningFormat(m_eeprom);
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        feedByte(static_cast<unsigned char>(bytes[n]));
        const LineFormat now = listeningFormat(m_eeprom);
        if (now.parity != before.parity || now.dataBits != before.dataBits)
            return n + 1;
    }
    return bytes.size();
}

void DisplayDecoder::flush()
{
    flushNoise();
    flushText();
    // A FF right before STX may still lead a frame; only a FF in plain text is settled.
    if (m_state == State::Text)
        resolveFf();
}

QStringList DisplayDecoder::takeLog()
{
    return std::exchange(m_log, {});
}

QByteArray DisplayDecoder::lineBytes(int row) const
{
    if (row < 0 || row >= Rows)
        return blankLine();
    if (!m_eeprom.demoMode)
        return m_screen[row];
    QByteArray message = (row == 0 ? m_eeprom.upperLine : m_eeprom.lowerLine).left(Columns);
    return message + QByteArray(Columns - message.size(), ' ');
}

QString DisplayDecoder::lineText(int row) const
{
    const QByteArray bytes = lineBytes(row);
    QString text;
    for (const char byte : bytes)
        text += charOf(static_cast<unsigned char>(byte));
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

QChar DisplayDecoder::charOf(unsigned char byte) const
{
    return displayChar(m_eeprom.codePage, m_eeprom.inChar, byte);
}

void DisplayDecoder::feedByte(unsigned char byte)
{
    // Only setLine() and setEeprom() make the display hear again, and both write out the noise.
    if (!hearsLine()) {
        noiseByte(byte);
        return;
    }
    switch (m_state) {
    case State::Text:
        textByte(byte);
        return;
    case State::Esc:
        m_state = State::Text;
        escByte(byte);
        return;
    case State::Us:
        m_state = State::Text;
        usByte(byte);
        return;
    case State::Stx:
        if (byte == Enq) {
            m_state = State::Frame;
            m_frame.clear();
            m_frameFf = std::exchange(m_ffPending, false);
            return;
        }
        m_state = State::Text;
        resolveFf();
        screenActivity();
        logUnknown(QByteArrayView("\x02", 1));
        feedByte(byte);
        return;
    case State::Frame:
        if (byte == Etx) {
            m_state = State::Text;
            finishFrame();
            return;
        }
        // No set-up payload carries these: the frame lost its ETX and a new one starts here.
        if (byte == Ff || byte == Stx) {
            abandonFrame();
            feedByte(byte);
            return;
        }
        m_frame.append(char(byte));
        if (m_frame.size() > MaxPayload)
            abandonFrame();
        return;
    }
}

void DisplayDecoder::textByte(unsigned char byte)
{
    if (byte == Stx) {
        flushText();
        m_state = State::Stx;
        return;
    }
    if (byte == Ff) {
        // Clears at once; whether it is plain text or a frame's lead-in is known at the next byte.
        flushText();
        resolveFf();
        clearScreen();
        m_ffPending = true;
        return;
    }
    resolveFf();
    screenActivity();
    if (byte >= 0x20) {
        m_text.append(char(byte));
        putChar(byte);
        return;
    }
    flushText();
    switch (byte) {
    case Cr:
        m_column = 0;
        log(QStringLiteral("CR"));
        break;
    case Lf:
        lineFeed();
        log(QStringLiteral("LF"));
        break;
    case Can:
        // This display clears the cursor's line and puts the cursor at its start.
        m_screen[m_row] = blankLine();
        m_column = 0;
        log(QStringLiteral("CAN clear line"));
        break;
    case Vt:
        m_row = 0;
        m_column = 0;
        log(QStringLiteral("VT home"));
        break;
    case Esc:
        m_state = State::Esc;
        break;
    case Us:
        m_state = State::Us;
        break;
    default:
        logUnknown(QByteArrayView(reinterpret_cast<const char *>(&byte), 1));
        break;
    }
}

void DisplayDecoder::escByte(unsigned char byte)
{
    switch (byte) {
    case '@':
        clearScreen();
        overwriteBoth();
        log(QStringLiteral("ESC @ initialise"));
        return;
    case Dc1:
        setMode(Mode::Overwrite, 0, QStringLiteral("overwrite mode (native)"));
        return;
    case Dc3:
        setMode(Mode::Scroll, 0, QStringLiteral("scroll mode (native)"));
        return;
    default:
        break;
    }
    // A control byte after ESC is not a parameter: it starts something of its own.
    if (byte < 0x20) {
        logUnknown(QByteArrayView("\x1B", 1));
        feedByte(byte);
        return;
    }
    const char bytes[] = {char(Esc), char(byte)};
    logUnknown(QByteArrayView(bytes, 2));
}

void DisplayDecoder::usByte(unsigned char byte)
{
    if (byte == 0x01) {
        setMode(Mode::Overwrite, 1, QStringLiteral("overwrite mode (ESC/POS)"));
        return;
    }
    if (byte == 0x03) {
        setMode(Mode::Scroll, 1, QStringLiteral("scroll mode (ESC/POS)"));
        return;
    }
    if (byte < 0x20) {
        logUnknown(QByteArrayView("\x1F", 1));
        feedByte(byte);
        return;
    }
    const char bytes[] = {char(Us), char(byte)};
    logUnknown(QByteArrayView(bytes, 2));
}

void DisplayDecoder::finishFrame()
{
    const QByteArray payload = std::exchange(m_frame, {});
    if (payload.size() == 2 && setupItem(payload[0], static_cast<unsigned char>(payload[1])))
        return;

    if (payload.startsWith("L1") || payload.startsWith("L2")) {
        const bool upper = payload[1] == '1';
        (upper ? m_eeprom.upperLine : m_eeprom.lowerLine) = payload.mid(2);
        log(QStringLiteral("set-up: %1 line \"%2\"")
                .arg(upper ? QStringLiteral("Upper") : QStringLiteral("Lower"),
                     displayText(payload.mid(2))));
        return;
    }
    if (payload.size() == 2 && payload[0] == char(Bel) && payload[1] >= '1' && payload[1] <= '3') {
        switch (payload[1]) {
        case '1':
            // All of it: the line settings too, so a PC left at other settings shows as a
            // mismatch.
            m_eeprom = DisplayEeprom{};
            log(QStringLiteral("reset: Clear all EEPROM contents"));
            break;
        case '2':
            m_eeprom.upperLine.clear();
            log(QStringLiteral("reset: Clear upper line data message"));
            break;
        default:
            m_eeprom.lowerLine.clear();
            log(QStringLiteral("reset: Clear lower line data message"));
            break;
        }
        return;
    }
    if (payload.startsWith(char(Vt))) {
        log(QStringLiteral("set-up closed: ") + displayText(payload.mid(1)));
        return;
    }
    if (payload == QByteArrayView("D\x08", 2)) {
        m_eeprom.demoMode = true;
        log(QStringLiteral("demo mode on"));
        return;
    }
    if (payload.startsWith("\x1B@")) {
        log(QStringLiteral("farewell: ") + displayText(payload.mid(2)));
        return;
    }
    const QString lead = m_frameFf ? QStringLiteral("0C 02 05") : QStringLiteral("02 05");
    log(QStringLiteral("unknown set-up frame: ") + lead +
        (payload.isEmpty() ? QString() : QStringLiteral(" ") + hex(payload)) +
        QStringLiteral(" 03"));
}

bool DisplayDecoder::setupItem(char letter, unsigned char code)
{
    struct ListCommand
    {
        char letter;
        char first; // the code of value 0
        int count;
        int DisplayEeprom::*value;
        const char *name;
        QString (*caption)(int);
    };
    static constexpr ListCommand Commands[] = {
        {'S', '0', NationalSetCount, &DisplayEeprom::inChar, "International Character",
         inCharCaption},
        {'T', '0', CodePageCount, &DisplayEeprom::codePage, "Code Page", codePageCaption},
        {'C', '0', int(Emulations.size()), &DisplayEeprom::emulation, "Command Emulation",
         emulationCaption},
        {'P', '1', int(Communications.size()), &DisplayEeprom::communication, "Communication",
         communicationCaption},
        {'B', '0', int(BaudRates.size()), &DisplayEeprom::baud, "Baud rate", baudCaption}};
    for (const ListCommand &command : Commands) {
        if (command.letter != letter)
            continue;
        const int index = code - command.first;
        if (index < 0 || index >= command.count)
            return false;
        m_eeprom.*command.value = index;
        log(QStringLiteral("set-up: %1 %2")
                .arg(QLatin1String(command.name), command.caption(index)));
        if (letter == 'S' && !nationalSetDrawn(index))
            log(QStringLiteral("international character set %1 is not drawn here: characters "
                               "shown as U.S.A")
                    .arg(inCharCaption(index)));
        return true;
    }
    return false;
}

void DisplayDecoder::abandonFrame()
{
    const QString lead = m_frameFf ? QStringLiteral("0C 02 05") : QStringLiteral("02 05");
    const qsizetype size = m_frame.size() + (m_frameFf ? 3 : 2);
    log(QStringLiteral("unterminated set-up frame (%1 bytes): ").arg(size) + lead +
        (m_frame.isEmpty() ? QString() : QStringLiteral(" ") + hex(m_frame)));
    m_frame.clear();
    m_state = State::Text;
}

void DisplayDecoder::noiseByte(unsigned char byte)
{
    // Whatever was half read when the format changed is lost in the noise.
    if (m_state == State::Frame)
        abandonFrame();
    m_state = State::Text;
    flushText();
    resolveFf();
    screenActivity();
    m_noise.append(char(byte));
    putChar(strayGlyph(byte));
}

void DisplayDecoder::flushNoise()
{
    if (m_noise.isEmpty())
        return;
    log(QStringLiteral("not understood, sent at %1 while the display listens at %2: %3")
            .arg(formatText(m_line), formatText(listeningFormat(m_eeprom)),
                 hex(std::exchange(m_noise, {}))));
}

void DisplayDecoder::screenActivity()
{
    if (m_eeprom.demoMode) {
        m_eeprom.demoMode = false;
        log(QStringLiteral("demo mode off"));
    }
}

void DisplayDecoder::resolveFf()
{
    if (!m_ffPending)
        return;
    m_ffPending = false;
    screenActivity();
    log(QStringLiteral("FF clear"));
}

void DisplayDecoder::flushText()
{
    if (m_text.isEmpty())
        return;
    log(QStringLiteral("text: ") + displayText(m_text));
    m_text.clear();
}

void DisplayDecoder::logUnknown(QByteArrayView bytes)
{
    log(QStringLiteral("unknown: ") + hex(bytes));
}

void DisplayDecoder::setMode(Mode mode, int emulation, const QString &what)
{
    const QString line =
        m_row == 0 ? QStringLiteral(", upper line") : QStringLiteral(", lower line");
    if (m_eeprom.emulation != emulation) {
        log(what + line + QStringLiteral(" ignored: the display is set to ") +
            emulationCaption(m_eeprom.emulation));
        return;
    }
    m_mode[m_row] = mode;
    // Leaving scroll mode with the cursor past a line's end: wrap as overwrite does.
    if (m_column >= Columns && mode == Mode::Overwrite) {
        m_column = 0;
        m_row = (m_row + 1) % Rows;
    }
    log(what + line);
}

void DisplayDecoder::putChar(unsigned char byte)
{
    QByteArray &line = m_screen[m_row];
    if (m_column >= Columns) {
        // Scroll mode past the line's end: the line moves left, the other line stays.
        line.remove(0, 1).append(char(byte));
        return;
    }
    line[m_column] = char(byte);
    if (++m_column < Columns || m_mode[m_row] == Mode::Scroll)
        return;
    // Overwrite mode wraps to the start of the next line, from the bottom one to the top.
    m_column = 0;
    m_row = (m_row + 1) % Rows;
}

void DisplayDecoder::lineFeed()
{
    m_row = (m_row + 1) % Rows;
    // After a full line in scroll mode the feed is the wrap: go on at the next line's start.
    if (m_column >= Columns)
        m_column = 0;
}

void DisplayDecoder::clearScreen()
{
    m_screen.fill(blankLine());
    m_row = 0;
    m_column = 0;
}

QString DisplayDecoder::displayText(QByteArrayView bytes) const
{
    QString text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x20)
            text +=
                QStringLiteral("\\x") + QString::number(code, 16).toUpper().rightJustified(2, u'0');
        else
            text += charOf(code);
    }
    return text;
}
