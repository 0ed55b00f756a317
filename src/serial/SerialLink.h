#pragma once

#include "LineSettings.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <functional>

class Clock;
class PortAdapter;

Q_DECLARE_LOGGING_CATEGORY(lcSerial)

// Upper-case digit pairs, no separators: how bytes are shown ("0C0205").
QString hexText(QByteArrayView bytes);
// FF STX ENQ payload ETX.
QByteArray SetupFrame(QByteArrayView payload);

// The one road to the display: configures, opens and closes the port and sends frames one byte
// at a time with a drain wait after each byte and a settle wait after each frame. It owns no
// window and words nothing: failures come back as results and PortError, for the caller to say.
class SerialLink
{
public:
    SerialLink(PortAdapter &port, Clock &clock);

    // Called as a frame starts, before its first byte: the payload and whether it goes out raw.
    void setSendingHook(std::function<void(const QByteArray &payload, bool raw)> sending)
    {
        m_sending = std::move(sending);
    }

    // Throws PortError when the port cannot be opened. Reaches the device chosen before.
    void OpenPort(int comPort, const LineSettings &line);
    // OpenPort for a port the user has just chosen (start-up, Interface Set's Set): which device
    // comPort stands for is decided now.
    void ChooseAndOpenPort(int comPort, const LineSettings &line);
    // Re-opens with the settings and port number the port already holds.
    void ReopenPort();
    // Closes an open port and re-opens it at `line`, the device kept: the PC side following the
    // display. Throws PortError.
    void FollowLine(int comPort, const LineSettings &line);
    void ClosePort();
    bool portOpen() const;

    // Sends the payload framed as a SetupFrame, or as it is when `raw`. True when every byte
    // left the port in time.
    bool SendData(const QByteArray &payload, bool raw);
    void WaitMs(int ms);

    // The window is going away: no further byte is written and every wait ends at once, so an
    // operation still running finishes quietly.
    void abort();
    bool aborted() const { return m_aborted; }
    // Whether every byte of the last frame left the port, the time-out and the window's closing
    // during its settle wait aside: the display has it whole.
    bool lastTextWhole() const { return m_lastTextWhole; }

    static constexpr double DrainLimitSeconds = 2.0;
    static constexpr int SettleMs = 2000;

private:
    void open(int comPort, const LineSettings &line, bool choose);

    PortAdapter &m_port;
    Clock &m_clock;
    std::function<void(const QByteArray &, bool)> m_sending;
    bool m_aborted = false;
    bool m_lastTextWhole = false;
};
