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
    void sendData_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("status");
        QTest::newRow("framed") << false << "4408" << QByteArray("\x0c\x02\x05\x44\x08\x03")
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
        QFETCH(QByteArray, wire);
        QFETCH(QString, status);
        Rig r;
        QVERIFY(r.link.SendData(text, raw));
        QCOMPARE(r.port.written(), wire);
        QCOMPARE(r.statuses, QStringList{status});
        // Ends with the 2-second settle wait, which lets the window work; nothing else yields.
        QCOMPARE(r.clock.waits().size(), size_t(1));
        QCOMPARE(r.clock.waits().back().deadline - r.clock.waits().back().start, 2.0);
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
        r.link.ReportSendError();
        QCOMPARE(r.prompter.titles(), QStringList{"Send Error!!"});
        QCOMPARE(r.prompter.boxes.front().text, QStringLiteral("Faulted to Data sending!!"));
        QVERIFY(r.prompter.boxes.front().warning);
    }

    void vanishedPortFailsEveryText()
    {
        Rig r;
        r.port.vanishAfterBytes = 2;
        QVERIFY(!r.link.SendData(QStringLiteral("4408"), false));
        QCOMPARE(r.port.written(), QByteArray("\x0c\x02"));
        QVERIFY(!r.port.portOpen());
        // A re-open that fails is raised, after the new settings were given.
        r.define.ComParity = 2;
        r.port.refuseOpen = QStringLiteral("gone");
        QVERIFY_THROWS_EXCEPTION(PortError, r.link.OpenPort());
        QCOMPARE(r.port.settings(), QStringLiteral("9600,O,8,1"));
        // The closed port takes nothing; the settle wait still runs.
        const double start = r.clock.now();
        QVERIFY(!r.link.SendData(QStringLiteral("1B40"), true));
        QCOMPARE(r.port.written(), QByteArray("\x0c\x02"));
        QVERIFY(qAbs(r.clock.now() - (start + 2.0)) < 0.001);
    }

    void abortDuringSettleWait()
    {
        Rig r;
        // The window goes away in the middle of the settle wait of the first text.
        r.clock.scheduleIn(1.0, [&] { r.link.abort(); });
        const double start = r.clock.now();
        QVERIFY(!r.link.SendData(QStringLiteral("1B40"), true));
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
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
