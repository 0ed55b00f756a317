#include "FakeClock.h"
#include "FakePort.h"
#include "FakePrompter.h"
#include "SerialLink.h"

#include <QTimer>
#include <QtTest>

class TestLink : public QObject
{
    Q_OBJECT

private:
    struct Rig
    {
        Define define;
        FakeClock clock;
        FakePort port{&clock};
        FakePrompter prompter;
        SerialLink link{define, port, clock, prompter};
        QStringList statuses;
        Rig()
        {
            link.setStatusSink([this](const QString &s) { statuses << s; });
            link.OpenPort();
            port.forget();
        }
    };

private slots:
    void settingsString_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("bitLen");
        QTest::addColumn<QString>("expected");
        QTest::newRow("defaults") << 9600 << 0 << 8 << "9600,N,8,1";
        QTest::newRow("even 7") << 4800 << 1 << 7 << "4800,E,7,1";
        QTest::newRow("odd") << 38400 << 2 << 8 << "38400,O,8,1";
        QTest::newRow("slowest") << 300 << 0 << 7 << "300,N,7,1";
    }
    void settingsString()
    {
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, bitLen);
        Define d;
        d.ComBaud = baud;
        d.ComParity = parity;
        d.ComBitLen = bitLen;
        QFETCH(QString, expected);
        QCOMPARE(::settingsString(d), expected);
    }

    void hexText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("pair") << "1B40" << QByteArray("\x1b\x40");
        QTest::newRow("odd length drops the last digit") << "0C5" << QByteArray("\x0c");
        QTest::newRow("single digit") << "7" << QByteArray();
        QTest::newRow("lower case") << "ff0a" << QByteArray("\xff\x0a");
    }
    void hexText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(hexTextToBytes(text), bytes);
    }

    void openAndClose()
    {
        Rig r;
        r.define.ComPort = 3;
        r.define.ComBaud = 19200;
        r.define.ComParity = 1;
        r.define.ComBitLen = 7;
        r.link.ClosePort();
        r.link.OpenPort();
        QCOMPARE(r.port.events, QStringList({"rts 0", "dtr 0", "clear in", "clear out", "close",
                                             "open 19200,E,7,1 COM3", "clear in", "clear out"}));
        r.port.forget();
        r.link.ClosePort();
        r.link.ClosePort(); // closing a closed port completes as well
        QCOMPARE(r.port.events, QStringList({"rts 0", "dtr 0", "clear in", "clear out", "close",
                                             "rts 0", "dtr 0", "clear in", "clear out"}));
    }

    void openFailureRaises()
    {
        Rig r;
        r.link.ClosePort();
        r.port.refuseOpen = QStringLiteral("busy");
        QVERIFY_THROWS_EXCEPTION(PortError, r.link.OpenPort());
        QVERIFY(!r.port.portOpen());
    }

    void sendData_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("status");
        QTest::newRow("framed demo command")
            << false << "4408" << QByteArray("\x0c\x02\x05\x44\x08\x03")
            << "Send Data: STX 05 4408 ETX";
        QTest::newRow("framed empty payload")
            << false << "" << QByteArray("\x0c\x02\x05\x03") << "Send Data: STX 05  ETX";
        QTest::newRow("raw") << true << "1B40" << QByteArray("\x1b\x40") << "1B40";
        QTest::newRow("raw empty") << true << "" << QByteArray() << "";
        QTest::newRow("raw odd length") << true << "0C5" << QByteArray("\x0c") << "0C5";
    }
    void sendData()
    {
        QFETCH(bool, raw);
        QFETCH(QString, text);
        Rig r;
        const double start = r.clock.now();
        QVERIFY(r.link.SendData(text, raw));
        QFETCH(QByteArray, wire);
        QCOMPARE(r.port.written(), wire);
        QFETCH(QString, status);
        QCOMPARE(r.statuses, QStringList{status});
        // Ends with the 2-second settle wait, which lets the window work; nothing else yields.
        QCOMPARE(r.clock.waits().size(), size_t(1));
        QCOMPARE(r.clock.waits().back().deadline - r.clock.waits().back().start, 2.0);
        QVERIFY(r.clock.now() - start < 2.01);
        QVERIFY(r.prompter.boxes.empty());
    }

    void stalledByteEndsTheSend()
    {
        Rig r;
        r.port.stalled = true;
        const double start = r.clock.now();
        QVERIFY(!r.link.SendData(QStringLiteral("4408"), false));
        // Only the first byte went; its drain wait gave up after 2 s, then the settle wait ran.
        QCOMPARE(r.port.written(), QByteArray("\x0c"));
        QVERIFY(qAbs(r.clock.waits().back().start - (start + 2.0)) < 0.001);
        QVERIFY(qAbs(r.clock.now() - (start + 4.0)) < 0.001);
        // The drain wait naps rather than spinning, and does not yield to the window.
        QVERIFY(r.clock.nappedSeconds() >= 2.0);
        QCOMPARE(r.clock.waits().size(), size_t(1));
        QCOMPARE(r.statuses, QStringList{"Send Data: STX 05 4408 ETX"});
    }

    void closedPortWritesNothing()
    {
        Rig r;
        r.link.ClosePort();
        const double start = r.clock.now();
        QVERIFY(!r.link.SendData(QStringLiteral("1B40"), true));
        QVERIFY(r.port.bytes.empty());
        QVERIFY(qAbs(r.clock.now() - (start + 2.0)) < 0.001);
    }

    void vanishingPortFailsTheText()
    {
        Rig r;
        r.port.vanishAfterBytes = 2;
        QVERIFY(!r.link.SendData(QStringLiteral("4408"), false));
        QCOMPARE(r.port.written(), QByteArray("\x0c\x02"));
        QVERIFY(!r.port.portOpen());
    }

    void reportSendError()
    {
        Rig r;
        r.link.ReportSendError();
        QCOMPARE(r.prompter.boxes.size(), size_t(1));
        const FakePrompter::Box &box = r.prompter.boxes.front();
        QVERIFY(box.warning);
        QCOMPARE(box.title, QStringLiteral("Send Error!!"));
        QCOMPARE(box.text, QStringLiteral("Faulted to Data sending!!"));
    }

    void abortDuringSettleWait()
    {
        Rig r;
        // The window goes away in the middle of the settle wait of the first text.
        r.clock.scheduleIn(1.0, [&] { r.link.abort(); });
        const double start = r.clock.now();
        QVERIFY(!r.link.SendData(QStringLiteral("1B40"), true));
        QVERIFY(r.clock.now() - start < 1.5);
        // Later texts and boxes of the interrupted operation come to nothing, at once.
        r.statuses.clear();
        QVERIFY(!r.link.SendData(QStringLiteral("1B40"), true));
        r.link.ReportSendError();
        r.link.WaitMs(2000);
        QCOMPARE(r.port.written(), QByteArray("\x1b\x40"));
        QVERIFY(r.statuses.isEmpty());
        QVERIFY(r.prompter.boxes.empty());
        QVERIFY(r.clock.now() - start < 1.5);
    }

    void systemClockWaitProcessesEventsAndCanBeInterrupted()
    {
        SystemClock clock;
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        // A nested wait inside the outer one; interrupting ends both.
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, [&] { clock.interruptWaits(); });
            clock.waitProcessingEvents(clock.now() + 60);
        });
        const double start = clock.now();
        clock.waitProcessingEvents(start + 60);
        QVERIFY(ran);
        QVERIFY(clock.now() - start < 30);
    }

    void systemClockTimer()
    {
        SystemClock clock;
        auto timer = clock.makeTimer();
        int ticks = 0;
        timer->setCallback([&] { ++ticks; });
        timer->setInterval(1);
        timer->setEnabled(true);
        QVERIFY(timer->isEnabled());
        QTRY_VERIFY(ticks >= 2);
        timer->setInterval(0);
        QVERIFY(!timer->isEnabled());
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
