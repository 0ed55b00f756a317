#pragma once

#include "DisplayDecoder.h"

#include <QTimer>
#include <QWidget>

class PseudoTerminal;
class QLabel;
class QPlainTextEdit;
class VfdPanel;

// The simulator's window: the glass, the EEPROM the display keeps, the line speed PoleSet set
// against the display's stored one, and the log of decoded traffic. It owns the decoder; the
// line is the caller's.
class DisplayWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LogLines = 500;

    DisplayWindow(PseudoTerminal &line, const QString &linkPath, QWidget *parent = nullptr);

    // Sizes and places the window above the centred PoleSet window, where there is room.
    void placeAbovePoleSet();

    void receive(const QByteArray &bytes);
    void note(const QString &text, bool warning);

private:
    void quiet();
    void pollLine();
    void appendLog(const QStringList &lines);
    void refresh();
    QString messageText(const QByteArray &bytes) const;

    PseudoTerminal &m_line;
    DisplayDecoder m_decoder;
    VfdPanel *m_panel;
    QLabel *m_emulation;
    QLabel *m_codePage;
    QLabel *m_inChar;
    QLabel *m_communication;
    QLabel *m_baud;
    QLabel *m_upperLine;
    QLabel *m_lowerLine;
    QLabel *m_demo;
    QLabel *m_lineState;
    QString m_linkText;
    QPlainTextEdit *m_log;
    QTimer m_quietTimer;
    QTimer m_pollTimer;
    int m_lineSpeed = 0;
    bool m_mismatchNoted = false;
};
