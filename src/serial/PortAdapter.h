#pragma once

#include "LineSettings.h"

#include <QString>

#include <stdexcept>

// Raised when the port cannot be opened or refuses its settings. Carries the device it tried
// and the operating system's reason, for the informative line of the port error box.
class PortError : public std::runtime_error
{
public:
    PortError(QString device, QString reason)
        : std::runtime_error(reason.toStdString())
        , m_device(std::move(device))
        , m_reason(std::move(reason))
    {}
    // With the reason in parts as well, for the port error box: what went wrong at the device,
    // the advice that goes last, and whether the built-in port was tried for want of a COMn entry.
    PortError(QString device, QString reason, QString cause, QString advice, bool builtIn)
        : PortError(std::move(device), std::move(reason))
    {
        m_cause = std::move(cause);
        m_advice = std::move(advice);
        m_builtIn = builtIn;
    }
    const QString &device() const { return m_device; }
    const QString &reason() const { return m_reason; }
    const QString &cause() const { return m_cause.isEmpty() ? m_reason : m_cause; }
    const QString &advice() const { return m_advice; }
    bool builtIn() const { return m_builtIn; }

private:
    QString m_device;
    QString m_reason;
    QString m_cause;
    QString m_advice;
    bool m_builtIn = false;
};

// The serial port as the program sees it: the handful of properties of a classic serial
// control that the link uses. The real one wraps QSerialPort; tests use a fake.
class PortAdapter
{
public:
    virtual ~PortAdapter() = default;

    virtual void setCommPort(int port) = 0;
    virtual int commPort() const = 0;
    // The user has chosen CommPort: decides now which device it stands for. Every later open
    // reaches that device again, or fails; none picks another one.
    virtual void chooseDevice() = 0;
    // Takes effect on the next open; throws PortError for a line the port cannot take.
    virtual void setSettings(const LineSettings &line) = 0;
    virtual LineSettings settings() const = 0;

    // Opening throws PortError on any failure; closing a closed port is no error.
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Whether the device of the current CommPort is there to be opened without the user choosing
    // the port again, so that a port lost to an unplug comes back by itself. Cheap: a stat.
    virtual bool deviceAvailable() = 0;

    // False for a closed or vanished port.
    virtual bool dsrHolding() = 0;
    virtual void setDtrEnable(bool enable) = 0;
    virtual void setRtsEnable(bool enable) = 0;

    // InBufferCount = 0 and OutBufferCount = 0: discard what waits. No-ops on a closed port.
    virtual void clearInBuffer() = 0;
    virtual void clearOutBuffer() = 0;
    // Bytes written but not yet on the wire; 0 for a closed port.
    virtual int outBufferCount() = 0;
    // Writes one byte; false when the port is closed or the write failed.
    virtual bool output(quint8 byte) = 0;
};
