#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The simulator's end of the line: a pseudo-terminal whose slave PoleSet opens as its serial
// port. It keeps the slave open itself, so the line never hangs up while PoleSet closes and
// reopens the port, and reads the master without blocking.
class PseudoTerminal : public QObject
{
    Q_OBJECT

public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    // Opens the pair and sets the line raw, 9600 bps, as an unused serial port would be.
    bool open(QString *error);
    QString slavePath() const { return m_slavePath; }

    // The speed the far end last set on the line, in bits per second; 0 when unknown. Parity
    // and data bits do not travel: the pseudo-terminal driver forces 8 bits, no parity.
    int lineSpeed() const;
    // Whether a program holds the line open as a serial port: Qt's serial port claims the line
    // for itself (TIOCEXCL) while open. False when that cannot be told.
    bool farEndOpen() const;

    // What has arrived, waiting up to `waitMs` after each piece for more. A line that cannot be
    // read any more says why in *error.
    QByteArray readAvailable(int waitMs = 0, QString *error = nullptr);
    // Hangs the line up, as pulling the cable out would: the far side sees the line gone.
    void hangUp();

signals:
    void received(const QByteArray &bytes);
    void failed(const QString &reason);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    void readMaster();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QSocketNotifier *m_notifier = nullptr;
};
