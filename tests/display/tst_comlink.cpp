#include "ComLink.h"

#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// The simulator's COMn link never replaces or removes an entry that is not its own.
class TestComLink : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { ::close(m_master); }

    void claim_data()
    {
        QTest::addColumn<QString>("existing"); // "" none, "dir", or what a link points to
        QTest::addColumn<bool>("claimed");
        QTest::newRow("no entry") << "" << true;
        QTest::newRow("directory") << "dir" << false;
        QTest::newRow("link to a live pty") << QString::fromLocal8Bit(::ptsname(m_master)) << false;
        QTest::newRow("link to an unplugged port") << "/dev/ttyUSB9" << false;
        // Left by a simulator that was killed.
        QTest::newRow("link to a dead pty") << "/dev/pts/987654" << true;
    }
    void claim()
    {
        QFETCH(QString, existing);
        QFETCH(bool, claimed);
        QTemporaryDir dir;
        const QString link = dir.filePath("COM1"), ours = "/dev/pts/ours";
        QVERIFY(existing.isEmpty() ||
                (existing == "dir" ? QDir().mkdir(link) : QFile::link(existing, link)));
        const QString before = QFileInfo(link).symLinkTarget();
        QString error;
        QCOMPARE(claimComLink(link, ours, &error), claimed);
        QCOMPARE(error.contains(link), !claimed);
        QCOMPARE(QFileInfo(link).symLinkTarget(), claimed ? ours : before);
        // Only its own link goes when the simulator ends, and nothing is left behind.
        QCOMPARE(releaseComLink(link, ours), claimed);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 claimed ? QStringList() : QStringList{"COM1"});
    }

private:
    // A live pseudo-terminal, standing for a simulator that is still running.
    int m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
};

QTEST_GUILESS_MAIN(TestComLink)
#include "tst_comlink.moc"
