#pragma once

#include "DisplayDecoder.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <optional>

class ElidedLabel;
class PseudoTerminal;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class VfdPanel;

// The simulator's window: the glass, the EEPROM the display keeps (and its file, so that it
// outlives the program as a real display's outlives a power cycle), the line PoleSet set
// against the display's own, and the log of decoded traffic. It owns the decoder; the line is
// the caller's.
//
// The line's speed is read from the pseudo-terminal. Parity and data bits do not travel over
// one, so PoleSet's are guessed: after the display takes a new Communication setting, PoleSet
// is taken to follow it until its PoleSet.ini in the same directory is written again (a Send
// always ends so); otherwise they are that file's when its baud rate is the line's (the file
// holds the port PoleSet last sent with), and the display's own when not (--apply's --line,
// or an Interface Set change not yet saved).
class DisplayWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LogLines = 500;

    DisplayWindow(PseudoTerminal &line, const QString &dir, int port, QWidget *parent = nullptr);

    // Sizes and places the window in the free band above, below or beside PoleSet's window, in
    // the compact layout (the glass alone, the rest folded) when the band is small.
    void placeBesidePoleSet();
    // Where a window of the given frame sizes, full and compact, goes beside PoleSet's frame.
    struct Placement
    {
        QRect frame;
        bool compact;
    };
    static Placement placeBeside(const QRect &poleSet, const QRect &screen, QSize full,
                                 QSize compact);
    void setCompact(bool compact);

    void receive(const QByteArray &bytes);
    void note(const QString &text, bool warning);
    // Back to the display's factory settings, kept at once.
    void restoreFactorySettings();
    // Reads the line's state and PoleSet's settings file now; a timer does it four times a
    // second.
    void pollLine();

    QString eepromPath() const { return m_eepromPath; }
    const DisplayDecoder &decoder() const { return m_decoder; }

private:
    void quiet();
    void readPoleSetFormat();
    LineFormat poleSetLine() const;
    void appendLog(const QStringList &lines);
    void keepEeprom();
    void refresh();
    QString messageText(const QByteArray &bytes) const;

    PseudoTerminal &m_line;
    QString m_eepromPath;
    QString m_poleSetIni;
    DisplayDecoder m_decoder;
    DisplayEeprom m_kept; // what the file holds
    bool m_saveFailed = false;
    VfdPanel *m_panel;
    QWidget *m_eepromBox;
    QWidget *m_logBox;
    QPushButton *m_unfold;
    ElidedLabel *m_emulation;
    ElidedLabel *m_codePage;
    ElidedLabel *m_inChar;
    ElidedLabel *m_communication;
    ElidedLabel *m_baud;
    ElidedLabel *m_upperLine;
    ElidedLabel *m_lowerLine;
    ElidedLabel *m_demo;
    QLabel *m_lineState;
    QString m_linkText;
    QPlainTextEdit *m_log;
    QTimer m_quietTimer;
    QTimer m_pollTimer;
    int m_lineSpeed = 0;
    bool m_farEndOpen = false;
    // PoleSet's line as its PoleSet.ini has it, and the file's stamp; the format PoleSet is
    // taken to have followed since.
    LineFormat m_saved;
    std::optional<LineFormat> m_followed;
    QDateTime m_iniStamp;
    qint64 m_iniSize = -1;
};
