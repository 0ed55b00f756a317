#pragma once

#include "LineSettings.h"
#include "PortLock.h"
#include "SerialDevices.h"

#include <QString>

#include <stdexcept>

// Why the port could not be opened or set, as facts: the application words them.
struct PortFailure
{
    enum Kind {
        NoDevice,         // `entry` leads to no device: it is missing, loops, is a plain file...
        Locked,           // another program's lock file is in the way: `lock`
        PermissionDenied, // the user may not write to `device`
        NotFound,         // `device` does not exist
        Busy,             // access is granted, yet another program holds `device`
        SettingsRefused,  // `device` refuses `line`; `system` has the driver's words
        OpenFailed,       // any other failure; `system` has the system's words
        WentAway,         // `device` vanished while it was being opened
        InvalidSettings,  // `line` is no line a port can be set to
    };
    Kind kind = OpenFailed;
    QString device = {};  // the device tried, the COMn entry, or "COMn"; empty when unknown
    bool builtIn = false; // the built-in port was tried for want of a COMn entry
    ComEntry entry = {};
    PortLockHolder lock = {};
    LineSettings line = {};
    QString system = {};
};

// Raised when the port cannot be opened or refuses its settings.
class PortError : public std::runtime_error
{
public:
    explicit PortError(PortFailure failure)
        : std::runtime_error("port failure")
        , m_failure(std::move(failure))
    {}
    const PortFailure &failure() const { return m_failure; }
    const QString &device() const { return m_failure.device; }

private:
    PortFailure m_failure;
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
