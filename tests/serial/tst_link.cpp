#include "FakeClock.h"
#include "FakePort.h"
#include "SerialLink.h"

#include <QtTest>

class TestLink : public QObject
{
    Q_OBJECT

    struct Rig
    {
        FakeClock clock;
        FakePort port;
        SerialLink link{port, clock};
        Rig() { port.setPortOpen(true); }
    };

private slots:
    void sendData_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fault");    // 1 the queue never empties, 2 the port vanishes,
                                           // 3 the window closes a second into the settle wait
        QTest::addColumn<QString>("wire"); // hex
        QTest::addColumn<int>("seconds");  // until SendData returns
        QTest::newRow("framed") << false << "4408" << 0 << "0c0205440803" << 2;
        QTest::newRow("framed empty payload") << false << "" << 0 << "0c020503" << 2;
        QTest::newRow("raw") << true << "1b4F" << 0 << "1b4f" << 2;
        QTest::newRow("stalled byte ends the text") << false << "4408" << 1 << "0c" << 4;
        QTest::newRow("port vanishes") << false << "4408" << 2 << "0c02" << 2;
        QTest::newRow("window closes") << false << "4408" << 3 << "0c0205440803" << 1;
    }
    void sendData()
    {
        QFETCH(bool, raw);
        QFETCH(QString, text);
        QFETCH(int, fault);
        QFETCH(QString, wire);
        QFETCH(int, seconds);
        Rig r;
        r.port.stalled = fault == 1;
        r.port.vanishAfterBytes = fault == 2 ? 2 : -1;
        if (fault == 3)
            r.clock.scheduleIn(1.0, [&r] { r.link.abort(); });
        const double start = r.clock.now();
        QCOMPARE(r.link.SendData(QByteArray::fromHex(text.toLatin1()), raw), !fault);
        QCOMPARE(QString::fromLatin1(r.port.written().toHex()), wire);
        // A stalled byte's drain wait naps 2 s; every text ends with the 2-second settle wait,
        // the one wait that lets the window work. The closed port takes nothing more.
        QCOMPARE(r.clock.waitDeadlines.size(), size_t(1));
        QCOMPARE(qRound(r.clock.now() - start), seconds);
        QCOMPARE(r.link.SendData("\x1b@", true), !fault);
    }

    void systemClock()
    {
        SystemClock clock;
        // Timers run during the wait: they start a nested wait, and interrupting ends both.
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, [&] { clock.interruptWaits(); });
            clock.waitProcessingEvents(clock.now() + 60);
        });
        const double start = clock.now();
        clock.waitProcessingEvents(start + 60);
        QVERIFY(clock.now() - start < 30);
        // The drain wait's nap sleeps instead of spinning.
        const double before = clock.now();
        clock.nap(0.01);
        QVERIFY(clock.now() - before >= 0.01);
        // A timer with no interval never runs, enabled or not.
        const auto timer = clock.makeTimer();
        timer->setEnabled(true);
        QVERIFY(!timer->isEnabled());
        timer->setInterval(500);
        QVERIFY(timer->isEnabled());
        timer->setInterval(0);
        QVERIFY(!timer->isEnabled());
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
