#include "QtPortAdapter.h"

#include "PortLock.h"
#include "SerialDevices.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QStringList>

#include <climits>
#include <optional>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

// The adapter owns one QSerialPort and keeps the classic control's habits on top of it: the
// settings and line states are remembered while the port is closed and applied on opening, a
// port that cannot report its modem lines counts as holding DSR, and a device that vanishes
// closes the port instead of leaving a dead descriptor for Qt to spin on. Opening mode is
// write-only because nothing is ever read from the display.

namespace {

QSerialPort::Parity qtParity(Parity parity)
{
    switch (parity) {
    case Parity::Even:
        return QSerialPort::EvenParity;
    case Parity::Odd:
        return QSerialPort::OddParity;
    case Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

// What the port can be set to: a positive rate, 7 or 8 data bits, one stop bit, N, E or O.
bool portTakes(const LineSettings &line)
{
    return line.baud > 0 && (line.dataBits == 7 || line.dataBits == 8) && line.stopBits == 1 &&
           int(line.parity) >= 0 && int(line.parity) <= 2;
}

} // namespace

struct QtPortAdapter::Private
{
    Private(const StartDir &startDir, const QString &devRoot)
        : dir(startDir)
        , root(devRoot)
    {
        QObject::connect(&serial, &QSerialPort::errorOccurred, &serial,
                         [this](QSerialPort::SerialPortError error) { onError(error); });
    }

    // Marks one of our calls into QSerialPort. Qt reports errors from deep inside its own
    // code, so a port found gone is closed only once the outermost call has returned.
    class Call
    {
    public:
        explicit Call(Private &d)
            : m_d(d)
        {
            ++m_d.depth;
        }
        ~Call()
        {
            if (--m_d.depth == 0 && m_d.vanished)
                m_d.close();
        }
        Call(const Call &) = delete;
        Call &operator=(const Call &) = delete;

    private:
        Private &m_d;
    };

    StartDir dir;
    QString root;
    int commPort = 1;
    std::optional<ChosenPort> chosen; // the place CommPort was found to stand for
    QString openedBefore; // the device last opened, which may be re-opened without asking
    QString fixedDevice;  // opened whatever the COM number, when set
    LineSettings line;
    bool rts = true;
    bool dtr = true;

    QSerialPort serial;
    QSocketNotifier *hangupWatch = nullptr;
    bool vanished = false;     // the device has gone; the port is closed at the next safe point
    bool noModemLines = false; // the open port cannot report DSR (a pseudo-terminal)
    int depth = 0;

    bool isOpen() const { return serial.isOpen() && !vanished; }

    // Runs a line or buffer operation on an open port. Errors it raises are of no interest:
    // a port without modem lines has nothing to switch, and a vanished one closes at the end
    // of the call.
    template<typename Operation> void whenOpen(Operation operation)
    {
        if (!isOpen())
            return;
        Call call(*this);
        operation(serial);
        serial.clearError();
    }

    // The port's first open is its choice; so is the first open of another port number.
    const ChosenPort &choice()
    {
        if (!chosen || chosen->port != commPort)
            chosen = chooseComPort(commPort, dir, root);
        return *chosen;
    }

    void open()
    {
        const ComEntry entry =
            fixedDevice.isEmpty() ? inspectChosenPort(choice()) : inspectDevice(fixedDevice);
        // Only a device is opened: a link that leads nowhere, a plain file or a directory is
        // reported as what it is.
        if (entry.kind != ComEntry::Device)
            throw PortError({.kind = PortFailure::NoDevice,
                             .device = entry.entry,
                             .builtIn = entry.builtIn,
                             .entry = entry});
        const QString &path = entry.device;
        serial.setPortName(path);
        serial.setBaudRate(line.baud);
        serial.setParity(qtParity(line.parity));
        serial.setDataBits(QSerialPort::DataBits(line.dataBits));
        serial.setStopBits(QSerialPort::OneStop);
        serial.setFlowControl(QSerialPort::NoFlowControl);
        serial.clearError();
        // Qt's own lock handling would delete the lock file of a program that holds the port.
        if (const PortLockHolder lock = clearPortLocks(path, root);
            lock.kind != PortLockHolder::Free)
            throw PortError({.kind = PortFailure::Locked,
                             .device = path,
                             .builtIn = entry.builtIn,
                             .lock = lock});
        if (!serial.open(QIODevice::WriteOnly)) {
            PortFailure failure = openFailure(path);
            failure.builtIn = entry.builtIn;
            serial.clearError();
            throw PortError(failure);
        }
        keepModemLines();
        vanished = false;
        noModemLines = false;
        openedBefore = path;
        watchForHangup();
        {
            Call call(*this);
            serial.setRequestToSend(rts);
            serial.setDataTerminalReady(dtr);
            // Qt may keep stale bytes across a re-open.
            serial.clear(QSerialPort::AllDirections);
            serial.clearError();
        }
        if (!serial.isOpen())
            throw PortError({.kind = PortFailure::WentAway, .device = path});
    }

    void close()
    {
        if (hangupWatch) {
            hangupWatch->setEnabled(false);
            hangupWatch->deleteLater();
            hangupWatch = nullptr;
        }
        if (serial.isOpen())
            serial.close();
        serial.clearError();
        vanished = false;
    }

    // Close, set, open: an open port may refuse a change that the driver cannot make.
    void reopen()
    {
        close();
        open();
    }

    PortFailure openFailure(const QString &path) const
    {
#ifndef Q_OS_WIN
        if (::access(QFile::encodeName(path).constData(), W_OK) != 0 && errno == EACCES)
            return {.kind = PortFailure::PermissionDenied, .device = path};
#endif
        switch (serial.error()) {
        case QSerialPort::DeviceNotFoundError:
            return {.kind = PortFailure::NotFound, .device = path};
        case QSerialPort::PermissionError:
            // Access itself is granted, so a lock file, an exclusive open or (on Windows) an
            // open handle of another program is in the way.
            return {.kind = PortFailure::Busy, .device = path};
        case QSerialPort::UnsupportedOperationError:
            return {.kind = PortFailure::SettingsRefused,
                    .device = path,
                    .line = line,
                    .system = serial.errorString()};
        default:
            return {
                .kind = PortFailure::OpenFailed, .device = path, .system = serial.errorString()};
        }
    }

    void onError(QSerialPort::SerialPortError error)
    {
        if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
            error != QSerialPort::WriteError)
            return;
        // A driver queue that is full for a moment (EAGAIN) also arrives as ResourceError:
        // only a device that no longer answers has gone.
        if (serial.isOpen() && !vanished && deviceGone())
            markVanished();
    }

    void markVanished()
    {
        if (vanished)
            return;
        vanished = true;
        if (hangupWatch)
            hangupWatch->setEnabled(false);
        // Outside our own calls the news comes from the event loop, possibly from inside one of
        // Qt's notifiers: close once control is back in the loop.
        if (depth == 0)
            QMetaObject::invokeMethod(
                &serial,
                [this] {
                    if (vanished)
                        close();
                },
                Qt::QueuedConnection);
    }

#ifdef Q_OS_WIN
    bool hungUp() const
    {
        return false;
    }
    bool deviceGone() const
    {
        return true;
    }

    qint64 driverQueue()
    {
        COMSTAT status{};
        DWORD errors = 0;
        if (!::ClearCommError(reinterpret_cast<HANDLE>(serial.handle()), &errors, &status)) {
            markVanished();
            return 0;
        }
        return status.cbOutQue;
    }

    void watchForHangup() {}
    void keepModemLines() const {}
#else
    // Linux raises DTR and RTS at every open of a port whose speed is not B0, and again at any
    // change away from B0, so a port re-opened with a line off shows a pulse on it whatever the
    // termios say. It is kept short: the lines are dropped with one ioctl as soon as Qt's open
    // returns, before anything else (Qt's own setters read the lines first).
    void keepModemLines() const
    {
        const int off = (rts ? 0 : TIOCM_RTS) | (dtr ? 0 : TIOCM_DTR);
        if (off != 0)
            ::ioctl(serial.handle(), TIOCMBIC, &off);
    }

    // POLLHUP: a pseudo-terminal whose master has closed, or a hung-up (unplugged) device.
    bool hungUp() const
    {
        pollfd p{serial.handle(), POLLOUT, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    bool deviceGone() const
    {
        if (hungUp())
            return true;
        termios t;
        if (::tcgetattr(serial.handle(), &t) == 0)
            return false;
        return errno == EIO || errno == ENXIO || errno == ENODEV || errno == EBADF;
    }

    qint64 driverQueue()
    {
        int queued = 0;
        if (::ioctl(serial.handle(), TIOCOUTQ, &queued) == 0)
            return queued;
        if (errno == EIO || errno == ENXIO || errno == ENODEV)
            markVanished();
        return 0; // a port without a transmit queue to ask about
    }

    // Qt reads nothing here (write-only), so nothing in the event loop would notice a hang-up.
    // A hung-up descriptor reads as readable; so does one with unread input, which is dropped.
    void watchForHangup()
    {
        hangupWatch = new QSocketNotifier(serial.handle(), QSocketNotifier::Read, &serial);
        QObject::connect(hangupWatch, &QSocketNotifier::activated, &serial, [this] {
            if (!serial.isOpen() || vanished)
                return;
            if (hungUp()) {
                markVanished();
                return;
            }
            ::tcflush(serial.handle(), TCIFLUSH);
            pollfd p{serial.handle(), POLLIN, 0};
            if (::poll(&p, 1, 0) > 0 && hangupWatch)
                hangupWatch->setEnabled(false); // input that cannot be dropped: stop, never spin
        });
    }
#endif

    // Moves what Qt still holds into the driver, without waiting for the wire.
    void push()
    {
        if (serial.bytesToWrite() > 0)
            serial.flush();
        serial.clearError();
    }
};

QtPortAdapter::QtPortAdapter(const StartDir &dir, const QString &root)
    : d(std::make_unique<Private>(dir, root))
{}

QtPortAdapter::~QtPortAdapter()
{
    d->close();
}

const QSerialPort &QtPortAdapter::serialPort() const
{
    return d->serial;
}

void QtPortAdapter::setCommPort(int port)
{
    if (port == d->commPort)
        return;
    d->commPort = port;
    if (d->isOpen())
        d->reopen();
}

int QtPortAdapter::commPort() const
{
    return d->commPort;
}

void QtPortAdapter::chooseDevice()
{
    d->chosen = chooseComPort(d->commPort, d->dir, d->root);
}

void QtPortAdapter::setSettings(const LineSettings &line)
{
    if (!portTakes(line))
        throw PortError(
            {.kind = PortFailure::InvalidSettings, .device = comName(d->commPort), .line = line});
    if (line == d->line)
        return;
    d->line = line;
    if (d->isOpen())
        d->reopen();
}

LineSettings QtPortAdapter::settings() const
{
    return d->line;
}

void QtPortAdapter::setPortOpen(bool open)
{
    if (open && d->isOpen())
        return;
    d->close();
    if (open)
        d->open();
}

bool QtPortAdapter::portOpen() const
{
    return d->isOpen();
}

void QtPortAdapter::setFixedDevice(const QString &path)
{
    d->fixedDevice = path;
}

bool QtPortAdapter::deviceAvailable()
{
    if (!d->fixedDevice.isEmpty())
        return inspectDevice(d->fixedDevice).kind == ComEntry::Device;
    return d->chosen && chosenPortAvailable(*d->chosen, d->openedBefore);
}

bool QtPortAdapter::dsrHolding()
{
    if (!d->isOpen())
        return false;
    Private::Call call(*d);
    if (d->hungUp()) {
        d->markVanished();
        return false;
    }
    if (d->noModemLines)
        return true;
    const QSerialPort::PinoutSignals pins = d->serial.pinoutSignals();
    const QSerialPort::SerialPortError error = d->serial.error();
    d->serial.clearError();
    if (d->vanished)
        return false;
    if (error == QSerialPort::UnsupportedOperationError) {
        // A pseudo-terminal or a network-bridged port has no modem lines: treat DSR as on so
        // such ports work, and stop asking.
        d->noModemLines = true;
        return true;
    }
    return error == QSerialPort::NoError && pins.testFlag(QSerialPort::DataSetReadySignal);
}

void QtPortAdapter::setDtrEnable(bool enable)
{
    d->dtr = enable;
    d->whenOpen([enable](QSerialPort &serial) { serial.setDataTerminalReady(enable); });
}

void QtPortAdapter::setRtsEnable(bool enable)
{
    d->rts = enable;
    d->whenOpen([enable](QSerialPort &serial) { serial.setRequestToSend(enable); });
}

void QtPortAdapter::clearInBuffer()
{
    d->whenOpen([](QSerialPort &serial) { serial.clear(QSerialPort::Input); });
}

void QtPortAdapter::clearOutBuffer()
{
    d->whenOpen([](QSerialPort &serial) { serial.clear(QSerialPort::Output); });
}

int QtPortAdapter::outBufferCount()
{
    if (!d->isOpen())
        return 0;
    Private::Call call(*d);
    if (d->hungUp()) {
        d->markVanished();
        return 0;
    }
    // Qt's own buffer only empties when pushed: the caller polls without an event loop.
    d->push();
    const qint64 queued = d->serial.bytesToWrite() + d->driverQueue();
    if (d->vanished)
        return 0;
    return static_cast<int>(qMin<qint64>(queued, INT_MAX));
}

bool QtPortAdapter::output(quint8 byte)
{
    if (!d->isOpen())
        return false;
    Private::Call call(*d);
    if (d->hungUp()) {
        d->markVanished();
        return false;
    }
    const char data = static_cast<char>(byte);
    if (d->serial.write(&data, 1) != 1) {
        d->serial.clearError();
        return false;
    }
    d->push();
    return !d->vanished;
}
