#include "Define.h"
#include "FakeClock.h"
#include "FakePort.h"
#include "SerialLink.h"
#include "SetupSession.h"

#include <QtTest>

Q_DECLARE_METATYPE(SendRequest)
Q_DECLARE_METATYPE(SendOutcome::Frame)

// One Send over a fake port, from a PC side at 9600,N,8,1: which frames left whole, where the
// port is now, what was stored and saved, and the bytes on the wire.
class TestSetupSession : public QObject
{
    Q_OBJECT

    // What is different from a ticked Send that goes out whole and is saved.
    enum Case { Whole, Unticked, NoSave, Stall, StallClosing, Vanish, RefuseReopen };

private slots:
    void send_data()
    {
        QTest::addColumn<SendRequest>("request");
        QTest::addColumn<int>("when");
        QTest::addColumn<SendOutcome::Frame>("item");
        QTest::addColumn<SendOutcome::Frame>("closing");
        QTest::addColumn<QString>("line"); // the PC side's, after the Send
        QTest::addColumn<QByteArray>("wire");
        const QString at = "9600,N,8,1", fast = "38400,N,8,1";
        const SendRequest baud{false, SetupBaud, 6};
        const QByteArray ready = "\f\2\5\vReady!\3", b6 = "\f\2\5B6\3";
        const auto S = SendOutcome::Sent, N = SendOutcome::NotSent;
        const auto row = [](const char *name, const SendRequest &request, Case when,
                            SendOutcome::Frame item, SendOutcome::Frame closing,
                            const QString &line, const QByteArray &wire) {
            QTest::newRow(name) << request << int(when) << item << closing << line << wire;
        };
        row("code page", {false, SetupCodePage, 2}, Whole, S, S, at, "\f\2\5T2\3" + ready);
        row("baud ticked: closing frame at the new line", baud, Whole, S, S, fast, b6 + ready);
        row("baud unticked", baud, Unticked, S, S, at, b6 + ready);
        row("E-7-1 ticked", {false, SetupCommunication, 3}, Whole, S, S, "9600,E,7,1",
            "\f\2\5P4\3" + ready);
        row("item frame stalls: nothing stored", baud, Stall, SendOutcome::Stalled, N, at, "\f");
        row("port gone in the item frame", baud, Vanish, SendOutcome::PortGone, N, at, "\f\2");
        row("closing frame stalls at the new line", baud, StallClosing, S, SendOutcome::Stalled,
            fast, b6 + '\f');
        row("re-open fails", baud, RefuseReopen, S, SendOutcome::PortGone, fast, b6);
        row("--apply saves nothing", baud, NoSave, S, S, fast, b6 + ready);
        row("reset of the upper line fails, cleared all the same", {true, ResetUpperLine}, Stall,
            SendOutcome::Stalled, N, at, "\f");
    }
    void send()
    {
        QFETCH(SendRequest, request);
        QFETCH(int, when);
        QFETCH(SendOutcome::Frame, item);
        QFETCH(SendOutcome::Frame, closing);
        QFETCH(QString, line);
        QFETCH(QByteArray, wire);
        QTemporaryDir dir;
        Define d{.DspBaud = 5, .DspUpperLine = "Top", .startDir = StartDir(dir.path())};
        FakePort port;
        FakeClock clock;
        SerialLink link(port, clock);
        link.OpenPort(1, d.line());
        SetupSession session(d, link);
        session.saves = when != NoSave;
        session.followsDisplay = [when] { return when != Unticked; };
        int failures = 0, followed = 0;
        session.frameFailed = [&](const SendOutcome &) { ++failures; };
        session.lineChanged = [&] { ++followed; };
        port.stalled = when == Stall;
        port.vanishAfterBytes = when == Vanish ? 2 : -1;
        port.afterByte = [&] {
            // The closing frame is the first to go out at the new line.
            port.stalled =
                port.stalled || (when == StallClosing && port.bytes.back().settings.baud != 9600);
            if (when == RefuseReopen)
                port.refuseOpen = "gone";
        };
        const SendOutcome o = session.send(request);
        QCOMPARE(o.item, item);
        QCOMPARE(o.closing, closing);
        QCOMPARE(o.line.toString(), line);
        QCOMPARE(o.lineChanged, line != "9600,N,8,1");
        QCOMPARE(followed, int(o.lineChanged));
        QCOMPARE(o.reopenFailed.has_value(), when == RefuseReopen);
        QCOMPARE(port.written(), wire);
        QCOMPARE(port.bytes.back().settings.toString(), o.reopenFailed ? "9600,N,8,1" : line);
        QCOMPARE(failures, int(item != SendOutcome::Sent) + int(closing > SendOutcome::Sent));
        // The item's value is stored once its frame has left; a reset clears its message anyway.
        QCOMPARE(d.DspBaud, request.item == SetupBaud && item == SendOutcome::Sent ? 6 : 5);
        QCOMPARE(d.DspUpperLine, QString(request.reset ? "" : "Top"));
        const bool saved = when != NoSave && (request.reset || item == SendOutcome::Sent);
        QCOMPARE(o.saved, saved);
        QCOMPARE(QFile::exists(dir.filePath("PoleSet.ini")), saved);
    }
};

QTEST_GUILESS_MAIN(TestSetupSession)
#include "tst_setupsession.moc"
