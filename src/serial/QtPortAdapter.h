#pragma once

#include "PortAdapter.h"
#include "StartDir.h"

#include <QObject>
#include <QString>

#include <memory>

class QSerialPort;

// PortAdapter over QSerialPort. COM numbers stand for devices as SerialDevices.h describes:
// the entry COMn in the start-up directory `dir`, else the built-in port, decided when the port
// is chosen. `root` is where the built-in ports and the lock directories are looked for: "/" on a
// machine, a scratch tree in tests. A port whose lock file has a live holder is not opened
// (PortLock.h); an open port is held exclusively (TIOCEXCL, which QSerialPort sets on opening and
// clears on closing), so that a program that ignores lock files cannot open it either.
class QtPortAdapter : public PortAdapter
{
public:
    explicit QtPortAdapter(const StartDir &dir, const QString &root = QStringLiteral("/"));
    ~QtPortAdapter() override;

    // Opens this device whatever the COM number says (a device named on the command line).
    void setFixedDevice(const QString &path);

    void setCommPort(int port) override;
    int commPort() const override;
    void chooseDevice() override;
    void setSettings(const LineSettings &line) override;
    LineSettings settings() const override;
    void setPortOpen(bool open) override;
    bool portOpen() const override;
    bool deviceAvailable() override;
    bool dsrHolding() override;
    void setDtrEnable(bool enable) override;
    void setRtsEnable(bool enable) override;
    void clearInBuffer() override;
    void clearOutBuffer() override;
    int outBufferCount() override;
    bool output(quint8 byte) override;

private:
    friend class TestQtPortAdapter; // reads the line settings a pseudo-terminal cannot show
    const QSerialPort &serialPort() const;

    struct Private;
    std::unique_ptr<Private> d;
};
