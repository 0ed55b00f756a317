#pragma once

#include "DisplayDecoder.h"

#include <QDateTime>
#include <QList>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <utility>

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
// one, so PoleSet's are inferred: from the PoleSet.ini in the same directory when its Port= is
// this display's COM number and its baud rate is the line's (the file holds the port PoleSet
// last sent with), else they are taken to be the display's own (--apply's --line, another
// port's file, an Interface Set change not yet saved). Whether PoleSet followed a new
// Communication setting shows only in the file it saves after the closing frame, so what
// arrives after the display changed its format is held until that file is saved (at most
// HoldMs; then PoleSet is taken to have followed, as --apply does, until the file changes).
class DisplayWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LogLines = 500;
    static constexpr int HoldMs = 6000;

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
    LineFormat poleSetLine(int speed) const;
    void pump();
    void endHold();
    void appendLog(const QStringList &lines);
    void keepEeprom();
    void refresh();
    QString messageText(const QByteArray &bytes) const;

    PseudoTerminal &m_line;
    int m_port;
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
    QTimer m_holdTimer;
    // Bytes not yet fed, each with the line speed they arrived at.
    QList<std::pair<QByteArray, int>> m_pending;
    int m_lineSpeed = 0;
    bool m_farEndOpen = false;
    // PoleSet's line as its PoleSet.ini has it (when the file is for this port), and the file's
    // stamp; the format PoleSet is taken to have followed since.
    std::optional<LineFormat> m_saved;
    std::optional<LineFormat> m_followed;
    QDateTime m_iniStamp;
    qint64 m_iniSize = -1;
};
