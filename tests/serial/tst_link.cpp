#include "FakeClock.h"
#include "FakePort.h"
#include "FakePrompter.h"
#include "SerialLink.h"

#include <QTimer>
#include <QtTest>

class TestLink : public QObject
{
    Q_OBJECT

    // The link over an open fake port at 9600,N,8,1.
    struct Rig
    {
        Define define;
        FakeClock clock;
        FakePort port;
        FakePrompter prompter;
        SerialLink link{define, port, clock, prompter};
        Rig() { port.setPortOpen(true); }
    };

private slots:
    void sendData_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("stall");
        QTest::addColumn<QString>("wire"); // hex
        QTest::newRow("framed") << false << "4408" << false << "0c0205440803";
        QTest::newRow("framed empty payload") << false << "" << false << "0c020503";
        QTest::newRow("raw odd length") << true << "1B405" << false << "1b40";
        QTest::newRow("stalled byte ends the text") << false << "4408" << true << "0c";
    }
    void sendData()
    {
        QFETCH(bool, raw);
        QFETCH(QString, text);
        QFETCH(bool, stall);
        QFETCH(QString, wire);
        Rig r;
        r.port.stalled = stall;
        const double start = r.clock.now();
        QCOMPARE(r.link.SendData(text, raw), !stall);
        QCOMPARE(QString::fromLatin1(r.port.written().toHex()), wire);
        // A stalled byte's drain wait naps for 2 s without yielding to the window. Every text
        // ends with the 2-second settle wait, which lets the window work.
        QCOMPARE(r.clock.nappedSeconds() >= 2.0, stall);
        QCOMPARE(r.clock.waits.size(), size_t(1));
        QVERIFY(qAbs(r.clock.waits[0].start - start - 2.0 * stall) < 0.001);
        QCOMPARE(r.clock.waits[0].deadline - r.clock.waits[0].start, 2.0);
    }

    void vanishedPortFailsEveryText()
    {
        Rig r;
        r.port.vanishAfterBytes = 2;
        QVERIFY(!r.link.SendData(QStringLiteral("4408"), false));
        r.link.ReportSendError();
        // A re-open that fails is raised, after the new settings were given.
        r.define.ComParity = 2;
        r.port.refuseOpen = QStringLiteral("gone");
        QVERIFY_THROWS_EXCEPTION(PortError, r.link.OpenPort());
        QCOMPARE(r.port.settings(), QStringLiteral("9600,O,8,1"));
        // The closed port takes nothing.
        QVERIFY(!r.link.SendData(QStringLiteral("1B40"), true));
        QCOMPARE(r.port.written(), QByteArray("\x0c\x02"));
        const FakePrompter::Box &box = r.prompter.boxes.at(0);
        QCOMPARE(box.title + '|' + box.text,
                 QStringLiteral("Send Error!!|Faulted to Data sending!!"));
        QVERIFY(box.warning);
    }

    void abortDuringSettleWait()
    {
        Rig r;
        // The window goes away in the middle of the settle wait of the first text.
        r.clock.scheduleIn(1.0, [&] { r.link.abort(); });
        const double start = r.clock.now();
        QVERIFY(!r.link.SendData(QStringLiteral("1B40"), true));
        // Later texts and waits of the interrupted operation come to nothing, at once.
        QVERIFY(!r.link.SendData(QStringLiteral("1B40"), true));
        r.link.WaitMs(2000);
        QCOMPARE(r.port.written(), QByteArray("\x1b\x40"));
        QVERIFY(r.clock.now() - start < 1.5);
    }

    void systemClockWaitProcessesEventsAndCanBeInterrupted()
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
        timer->setInterval(500);
        timer->setEnabled(true);
        QVERIFY(timer->isEnabled());
        timer->setInterval(0);
        QVERIFY(!timer->isEnabled());
        timer->setEnabled(true);
        QVERIFY(!timer->isEnabled());
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
