#include "ComLink.h"

#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// The simulator's COMn link never replaces or removes an entry that is not its own.
class TestComLink : public QObject
{
    Q_OBJECT

    enum Existing { Nothing, File, Directory, ForeignLink, LivePtsLink, DeadPtsLink };

private slots:
    void initTestCase()
    {
        // A live pseudo-terminal, standing for a simulator that is still running.
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(m_master >= 0);
        QVERIFY(::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0);
        m_livePts = QString::fromLocal8Bit(::ptsname(m_master));
        QVERIFY(QFileInfo::exists(m_livePts));
    }
    void cleanupTestCase() { ::close(m_master); }

    void claim_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<bool>("claimed");
        QTest::newRow("nothing there") << int(Nothing) << true;
        QTest::newRow("regular file") << int(File) << false;
        QTest::newRow("directory") << int(Directory) << false;
        QTest::newRow("link to a real port") << int(ForeignLink) << false;
        QTest::newRow("link to a live pty") << int(LivePtsLink) << false;
        QTest::newRow("link to a dead pty") << int(DeadPtsLink) << true;
    }
    void claim()
    {
        QFETCH(int, existing);
        QFETCH(bool, claimed);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("COM1"));
        const QString ours = QStringLiteral("/dev/pts/ours");
        QString before;
        switch (existing) {
        case File: {
            QFile file(link);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me");
            break;
        }
        case Directory:
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("COM1")));
            break;
        case ForeignLink:
            before = QStringLiteral("/dev/ttyUSB0");
            break;
        case LivePtsLink:
            before = m_livePts;
            break;
        case DeadPtsLink:
            before = QStringLiteral("/dev/pts/987654");
            break;
        default:
            break;
        }
        if (!before.isEmpty())
            QVERIFY(QFile::link(before, link));

        QString error;
        QCOMPARE(claimComLink(link, ours, &error), claimed);
        QCOMPARE(error.isEmpty(), claimed);
        const QFileInfo info(link);
        if (claimed) {
            QCOMPARE(info.symLinkTarget(), ours);
            QVERIFY(releaseComLink(link, ours));
            QVERIFY(!QFileInfo(link).isSymLink());
            QVERIFY(!QFileInfo::exists(link));
            // Only the link itself was in the directory.
            QCOMPARE(
                QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                QStringList());
            return;
        }
        QVERIFY(error.contains(link));
        // Left exactly as it was, and not taken for ours when the simulator ends.
        QVERIFY(!releaseComLink(link, ours));
        if (existing == File) {
            QFile file(link);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("keep me"));
        } else if (existing == Directory) {
            QVERIFY(QFileInfo(link).isDir());
        } else {
            QCOMPARE(QFileInfo(link).symLinkTarget(), before);
        }
    }

    // Someone pointed COM1 elsewhere while the simulator ran: that link stays.
    void releaseLeavesAReplacedLink()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("COM2"));
        QString error;
        QVERIFY(claimComLink(link, QStringLiteral("/dev/pts/ours"), &error));
        QVERIFY(QFile::remove(link));
        QVERIFY(QFile::link(QStringLiteral("/dev/ttyS1"), link));
        QVERIFY(!releaseComLink(link, QStringLiteral("/dev/pts/ours")));
        QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/ttyS1"));
    }

private:
    int m_master = -1;
    QString m_livePts;
};

QTEST_GUILESS_MAIN(TestComLink)
#include "tst_comlink.moc"
