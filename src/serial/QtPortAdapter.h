#pragma once

#include "PortAdapter.h"

#include <QObject>
#include <QString>

#include <memory>

class QSerialPort;

// PortAdapter over QSerialPort. COM numbers stand for devices as SerialDevices.h describes:
// the entry COMn in `appDir`, else the built-in port, decided when the port is chosen. `root` is
// where the built-in ports are looked for: "/" on a machine, a scratch tree in tests.
class QtPortAdapter : public PortAdapter
{
public:
    explicit QtPortAdapter(const QString &appDir, const QString &root = QStringLiteral("/"));
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
