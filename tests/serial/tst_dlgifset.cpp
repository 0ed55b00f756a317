#include "Define.h"
#include "DlgIFSet.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <tuple>

namespace {

// Ways of closing the dialog besides a key.
constexpr int ClickSet = -1, ClickCancel = -2, CloseBox = -3;
// The variables a closing starts from, and the indexes they preselect.
const QList<int> Before{3, 2400, 2, 7};
const QList<int> Preset{2, 3, 2, 0};

// A dialog shown over its own ComPort, ComBaud, ComParity and ComBitLen.
struct Rig
{
    Define define;
    DlgIFSet dlg{define};

    explicit Rig(const QList<int> &v)
    {
        std::tie(define.ComPort, define.ComBaud, define.ComParity, define.ComBitLen) =
            std::tie(v[0], v[1], v[2], v[3]);
        dlg.show();
    }
    QList<int> variables() const
    {
        return {define.ComPort, define.ComBaud, define.ComParity, define.ComBitLen};
    }
    // The port, baud, parity and bit-length lists.
    QComboBox *list(int i)
    {
        const char *names[] = {"CboPort", "CboBaud", "CboParity", "CboBitLen"};
        return dlg.findChild<QComboBox *>(QLatin1String(names[i]));
    }
    QList<int> selection()
    {
        return {list(0)->currentIndex(), list(1)->currentIndex(), list(2)->currentIndex(),
                list(3)->currentIndex()};
    }
};

} // namespace

class TestDlgIFSet : public QObject
{
    Q_OBJECT

private slots:
    void preselect_data()
    {
        QTest::addColumn<QList<int>>("variables"); // ComPort, ComBaud, ComParity, ComBitLen
        QTest::addColumn<QList<int>>("indexes");   // port, baud, parity, bit length
        QTest::newRow("defaults") << QList<int>{1, 9600, 0, 8} << QList<int>{0, 5, 0, 1};
        QTest::newRow("19200 even") << QList<int>{2, 19200, 1, 8} << QList<int>{1, 6, 1, 1};
        QTest::newRow("COM4 38400 odd 7") << QList<int>{4, 38400, 2, 7} << QList<int>{3, 7, 2, 0};
        QTest::newRow("unknown rate") << QList<int>{1, 115200, 0, 8} << QList<int>{0, 5, 0, 1};
        QTest::newRow("out of range") << QList<int>{9, 0, 3, 9} << QList<int>{3, 5, 2, 1};
    }
    void preselect()
    {
        QFETCH(QList<int>, variables);
        QFETCH(QList<int>, indexes);
        Rig r(variables);
        QCOMPARE(r.selection(), indexes);
        QVERIFY(r.define.IFSetCancelled);
    }

    void closing_data()
    {
        QTest::addColumn<int>("how");           // a key, or one of ClickSet, ClickCancel, CloseBox
        QTest::addColumn<QList<int>>("choose"); // port, baud, parity, bit-length indexes
        QTest::addColumn<QList<int>>("expected"); // ComPort, ComBaud, ComParity, ComBitLen
        QTest::newRow("Set") << ClickSet << QList<int>{0, 7, 1, 1} << QList<int>{1, 38400, 1, 8};
        QTest::newRow("Enter") << int(Qt::Key_Return) << QList<int>{1, 2, 0, 0}
                               << QList<int>{2, 1200, 0, 7};
        QTest::newRow("Cancel") << ClickCancel << QList<int>{0, 7, 1, 1} << Before;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << QList<int>{1, 6, 0, 1} << Before;
        QTest::newRow("close box") << CloseBox << QList<int>{3, 0, 1, 1} << Before;
    }
    void closing()
    {
        QFETCH(int, how);
        QFETCH(QList<int>, choose);
        QFETCH(QList<int>, expected);
        const bool cancelled = how != ClickSet && how != Qt::Key_Return;
        Rig r(Before);
        for (int i = 0; i < 4; ++i)
            r.list(i)->setCurrentIndex(choose[i]);
        if (how == ClickSet || how == ClickCancel)
            QTest::mouseClick(
                r.dlg.findChild<QPushButton *>(how == ClickSet ? "CmdSet" : "CmdCancel"),
                Qt::LeftButton);
        else if (how == CloseBox)
            r.dlg.close();
        else
            QTest::keyClick(r.list(1), Qt::Key(how));
        QVERIFY(!r.dlg.isVisible());
        QCOMPARE(r.define.IFSetCancelled, cancelled);
        QCOMPARE(r.variables(), expected);

        // Shown again, it starts from the variables, not from the choices of a cancelled showing.
        r.dlg.show();
        QCOMPARE(r.selection(), cancelled ? Preset : choose);
    }

    void window()
    {
        Rig r(Before);
        QCOMPARE(r.dlg.windowTitle(), QStringLiteral("Interface Set"));
        QCOMPARE(r.dlg.minimumSize(), QSize(356, 177));
        QCOMPARE(r.dlg.maximumSize(), QSize(356, 177));
        QStringList baud;
        for (int i = 0; i < r.list(1)->count(); ++i)
            baud << r.list(1)->itemText(i);
        QCOMPARE(baud, QStringList({"    300bps", "    600bps", "  1,200bps", "  2,400bps",
                                    "  4,800bps", "  9,600bps", " 19,200bps", " 38,400bps"}));
    }
};

QTEST_MAIN(TestDlgIFSet)
#include "tst_dlgifset.moc"
