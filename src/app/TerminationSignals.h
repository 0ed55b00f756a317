#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so that a service manager,
// a Ctrl+C or a closing terminal ends the program through its normal shut-down. The handler
// itself only writes the signal's number to a socket pair: nothing else is safe inside a signal
// handler.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // "SIGTERM", "SIGINT", "SIGHUP".
    static QString name(int signal);

signals:
    void received(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};
