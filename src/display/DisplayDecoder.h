#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>

// What the display keeps in its EEPROM, each value numbered as its set-up command counts it
// (the code byte less '0', less '1' for the communication format).
struct DisplayEeprom
{
    int emulation = 0;     // 0 native, 1 ESC/POS
    int codePage = 0;      // 0..9
    int inChar = 0;        // 0..15
    int communication = 0; // 0..5: N-8-1, N-7-1, E-8-1, E-7-1, O-8-1, O-7-1
    int baud = 0;          // 0..7: 9600, 4800, 2400, 1200, 600, 300, 38400, 19200
    QByteArray upperLine;  // demo messages, as the display's own bytes
    QByteArray lowerLine;
    bool demoMode = false;

    bool operator==(const DisplayEeprom &) const = default;
};

// How a line is set: speed, parity ('N', 'E' or 'O') and data bits.
struct LineFormat
{
    int bps = 9600;
    char parity = 'N';
    int dataBits = 8;

    bool operator==(const LineFormat &) const = default;
};

// The format the display listens at, from its EEPROM.
LineFormat listeningFormat(const DisplayEeprom &eeprom);
// "19,200bps E-8-1".
QString formatText(const LineFormat &format);

// The display's names of its settings ("Germany", "19,200bps"); empty outside the range.
QString inCharCaption(int index);
QString codePageCaption(int index);
QString emulationCaption(int index);
QString communicationCaption(int index);
QString baudCaption(int index);

// The display end of the line: takes the byte stream PoleSet sends, in any chunking, keeps the
// display's EEPROM and screen, and describes the traffic in log lines. No widgets, no I/O.
//
// Set-up frames are STX ENQ payload ETX, normally led by FF (the raw lower line has none). The
// payload is bounded: a frame that runs past MaxPayload bytes, or is cut by a new FF or STX, is
// logged as hex and the bytes after it are read afresh, so a lost ETX cannot swallow the line.
// Every byte the display does not know is logged as hex.
//
// Demo mode starts with the demo command and ends with the next byte that reaches the screen
// (text or control) outside a set-up frame, as Stop Demo's FF "Stop DEMO!" does: the display
// cannot see RTS on a pseudo-terminal, so the text is the signal. While it runs, the glass shows
// the stored messages.
//
// The mode commands of the emulation the display is not set to are ignored (and logged so), as
// the real display would: a mismatch between PoleSet's emulation and the display's shows up.
// Each line has its own mode, set by a mode command given while the cursor is on it (VT, then
// the command, for the upper line; LF, then the command, for the lower). Scroll mode is
// horizontal: a text that runs past the end of a line moves that line left.
//
// The display hears only bytes sent in its own format. While the line's format (setLine)
// differs from the one in its EEPROM, every byte is noise: a stray glyph on the glass, logged
// as not understood, and no command takes effect.
class DisplayDecoder
{
public:
    static constexpr int Rows = 2;
    static constexpr int Columns = 20;
    static constexpr int MaxPayload = 256;

    enum class Mode { Overwrite, Scroll };

    DisplayDecoder();

    // Starts from a stored EEPROM, as at power-on: blank glass, overwrite mode.
    void setEeprom(const DisplayEeprom &eeprom);
    // The format bytes now arrive in.
    void setLine(const LineFormat &line);
    const LineFormat &line() const { return m_line; }
    bool hearsLine() const { return m_line == listeningFormat(m_eeprom); }

    void feed(QByteArrayView bytes);
    // Feeds bytes up to and including the first that changes the format the display listens at
    // (a Communication set-up, or clearing the whole EEPROM); the number of bytes taken.
    qsizetype feedUntilNewFormat(QByteArrayView bytes);
    // Writes out what is held back for the next byte: a text run, a burst of noise, and a FF
    // that might have led a set-up frame. Call it when the line goes quiet; feeding and flushing in
    // any rhythm gives the same state and the same log.
    void flush();
    // The log lines since the last call.
    QStringList takeLog();

    const DisplayEeprom &eeprom() const { return m_eeprom; }
    Mode mode(int row) const { return m_mode[row == 1 ? 1 : 0]; }
    int cursorRow() const { return m_row; }
    // Columns after the end of a full line in scroll mode: the next character moves the line
    // left first.
    int cursorColumn() const { return m_column; }

    // What the glass shows on a row: the screen, or the stored message during demo mode. Always
    // Columns bytes.
    QByteArray lineBytes(int row) const;
    // The same through the selected code page, without trailing blanks.
    QString lineText(int row) const;
    QChar charOf(unsigned char byte) const;

private:
    enum class State { Text, Esc, Us, Stx, Frame };

    void feedByte(unsigned char byte);
    void noiseByte(unsigned char byte);
    void flushNoise();
    void textByte(unsigned char byte);
    void escByte(unsigned char byte);
    void usByte(unsigned char byte);
    void finishFrame();
    void abandonFrame();
    bool setupItem(char letter, unsigned char code);

    void screenActivity();
    void resolveFf();
    void flushText();
    void log(const QString &line) { m_log << line; }
    void logUnknown(QByteArrayView bytes);
    void setMode(Mode mode, int emulation, const QString &what);
    void overwriteBoth() { m_mode.fill(Mode::Overwrite); }

    void putChar(unsigned char byte);
    void lineFeed();
    void clearScreen();
    QString displayText(QByteArrayView bytes) const;

    DisplayEeprom m_eeprom;
    std::array<QByteArray, Rows> m_screen;
    int m_row = 0;
    int m_column = 0;
    std::array<Mode, Rows> m_mode = {Mode::Overwrite, Mode::Overwrite};

    State m_state = State::Text;
    bool m_ffPending = false; // FF seen; a frame may follow
    bool m_frameFf = false;   // the frame being read came after a FF
    QByteArray m_frame;       // payload so far
    QByteArray m_text;        // printable run not yet logged
    LineFormat m_line;
    QByteArray m_noise; // bytes not understood, not yet logged
    QStringList m_log;
};
