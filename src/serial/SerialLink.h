#pragma once

#include "Define.h"

#include <QByteArray>
#include <QString>

#include <functional>

class Clock;
class PortAdapter;
class Prompter;

// "9600,N,8,1" from the PC-side settings.
QString settingsString(const Define &define);
// The bytes of a hex text, read in pairs; a digit left over at the end is not sent.
QByteArray hexTextToBytes(QStringView hexText);
// Upper-case digit pairs, no separators.
QString bytesToHexText(QByteArrayView bytes);
// FF STX ENQ payload ETX, as hex text.
QString SetupFrame(const QString &payloadHex);

// The one road to the display: configures, opens and closes the port and sends hex texts one
// byte at a time with a drain wait after each byte and a settle wait after each text. It owns
// no window; status texts go to the sink the window gives it.
class SerialLink
{
public:
    SerialLink(Define &define, PortAdapter &port, Clock &clock, Prompter &prompter);

    void setStatusSink(std::function<void(const QString &)> showStatus)
    {
        m_showStatus = std::move(showStatus);
    }

    // Throws PortError when the port cannot be opened. Reaches the device chosen before.
    void OpenPort();
    // OpenPort for a port the user has just chosen (start-up, Interface Set's Set): which device
    // ComPort stands for is decided now.
    void ChooseAndOpenPort();
    // Re-opens with the settings and port number the port already holds.
    void ReopenPort();
    void ClosePort();

    bool SendData(const QString &hexText, bool rawSend);
    void WaitMs(int ms);
    void ReportSendError();

    // The window is going away: no further byte is written, every wait ends at once and no
    // box is shown, so an operation still running finishes quietly.
    void abort();
    bool aborted() const { return m_aborted; }
    // Whether every byte of the last text left the port, the time-out and the window's closing
    // during its settle wait aside: the display has it whole.
    bool lastTextWhole() const { return m_lastTextWhole; }

    static constexpr double DrainLimitSeconds = 2.0;
    static constexpr int SettleMs = 2000;

private:
    Define &m_define;
    PortAdapter &m_port;
    Clock &m_clock;
    Prompter &m_prompter;
    std::function<void(const QString &)> m_showStatus;
    bool m_aborted = false;
    bool m_lastTextWhole = false;
};
