#include "Define.h"
#include "DlgIFSet.h"
#include "UiMetrics.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

namespace {

struct PcSide
{
    int port;
    int baud;
    int parity;
    int bitLen;
};

void setPcSide(Define &define, const PcSide &s)
{
    define.ComPort = s.port;
    define.ComBaud = s.baud;
    define.ComParity = s.parity;
    define.ComBitLen = s.bitLen;
}

PcSide pcSideOf(const Define &define)
{
    return {define.ComPort, define.ComBaud, define.ComParity, define.ComBitLen};
}

QComboBox *list(QWidget &dlg, const char *name)
{
    auto *box = dlg.findChild<QComboBox *>(QLatin1String(name));
    if (!box)
        qFatal("no list %s", name);
    return box;
}

QPushButton *button(QWidget &dlg, const char *name)
{
    auto *cmd = dlg.findChild<QPushButton *>(QLatin1String(name));
    if (!cmd)
        qFatal("no button %s", name);
    return cmd;
}

QStringList itemsOf(QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class TestDlgIFSet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutions(); }

    void preselect_data();
    void preselect();
    void set_data();
    void set();
    void enterPressesSet_data();
    void enterPressesSet();
    void cancelled_data();
    void cancelled();
    void secondShowingStartsFromVariables();
    void items();
    void window();
    void labelsRightAligned_data();
    void labelsRightAligned();
    void focusAndTabOrder();
    void listItemsFit();
};

void TestDlgIFSet::preselect_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("bitLen");
    QTest::addColumn<QList<int>>("indexes"); // port, baud, parity, bit length

    QTest::newRow("defaults") << 1 << 9600 << 0 << 8 << QList<int>{0, 5, 0, 1};
    QTest::newRow("300") << 2 << 300 << 1 << 7 << QList<int>{1, 0, 1, 0};
    QTest::newRow("600") << 3 << 600 << 2 << 8 << QList<int>{2, 1, 2, 1};
    QTest::newRow("1200") << 4 << 1200 << 0 << 7 << QList<int>{3, 2, 0, 0};
    QTest::newRow("2400") << 1 << 2400 << 1 << 8 << QList<int>{0, 3, 1, 1};
    QTest::newRow("4800") << 2 << 4800 << 2 << 8 << QList<int>{1, 4, 2, 1};
    QTest::newRow("19200") << 3 << 19200 << 0 << 8 << QList<int>{2, 6, 0, 1};
    QTest::newRow("38400") << 4 << 38400 << 2 << 7 << QList<int>{3, 7, 2, 0};
    QTest::newRow("110 unknown") << 1 << 110 << 0 << 8 << QList<int>{0, 5, 0, 1};
    QTest::newRow("115200 unknown") << 1 << 115200 << 0 << 8 << QList<int>{0, 5, 0, 1};
    // Stray values still select an item of each list.
    QTest::newRow("below range") << 0 << -1 << -1 << 6 << QList<int>{0, 5, 0, 0};
    QTest::newRow("above range") << 9 << 0 << 3 << 9 << QList<int>{3, 5, 2, 1};
}

void TestDlgIFSet::preselect()
{
    QFETCH(int, port);
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, bitLen);
    QFETCH(QList<int>, indexes);

    Define define;
    setPcSide(define, {port, baud, parity, bitLen});
    DlgIFSet dlg(define);
    dlg.show();

    QCOMPARE(list(dlg, "CboPort")->currentIndex(), indexes[0]);
    QCOMPARE(list(dlg, "CboBaud")->currentIndex(), indexes[1]);
    QCOMPARE(list(dlg, "CboParity")->currentIndex(), indexes[2]);
    QCOMPARE(list(dlg, "CboBitLen")->currentIndex(), indexes[3]);
    QVERIFY(define.IFSetCancelled);
    // Showing alone changes no setting.
    QCOMPARE(define.ComPort, port);
    QCOMPARE(define.ComBaud, baud);
}

void TestDlgIFSet::set_data()
{
    QTest::addColumn<QList<int>>("choose");   // port, baud, parity, bit length indexes
    QTest::addColumn<QList<int>>("expected"); // ComPort, ComBaud, ComParity, ComBitLen

    QTest::newRow("unchanged") << QList<int>{} << QList<int>{1, 9600, 0, 8};
    QTest::newRow("COM4 38400 O7") << QList<int>{3, 7, 2, 0} << QList<int>{4, 38400, 2, 7};
    QTest::newRow("COM2 300 E8") << QList<int>{1, 0, 1, 1} << QList<int>{2, 300, 1, 8};
    QTest::newRow("COM3 1200 N7") << QList<int>{2, 2, 0, 0} << QList<int>{3, 1200, 0, 7};
    QTest::newRow("COM1 19200 N8") << QList<int>{0, 6, 0, 1} << QList<int>{1, 19200, 0, 8};
}

void TestDlgIFSet::set()
{
    QFETCH(QList<int>, choose);
    QFETCH(QList<int>, expected);

    Define define;
    define.IFSetCancelled = false;
    DlgIFSet dlg(define);
    dlg.show();
    QVERIFY(define.IFSetCancelled);
    if (!choose.isEmpty()) {
        list(dlg, "CboPort")->setCurrentIndex(choose[0]);
        list(dlg, "CboBaud")->setCurrentIndex(choose[1]);
        list(dlg, "CboParity")->setCurrentIndex(choose[2]);
        list(dlg, "CboBitLen")->setCurrentIndex(choose[3]);
    }
    QTest::mouseClick(button(dlg, "CmdSet"), Qt::LeftButton);

    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
    QVERIFY(!define.IFSetCancelled);
    QCOMPARE(define.ComPort, expected[0]);
    QCOMPARE(define.ComBaud, expected[1]);
    QCOMPARE(define.ComParity, expected[2]);
    QCOMPARE(define.ComBitLen, expected[3]);
}

void TestDlgIFSet::enterPressesSet_data()
{
    QTest::addColumn<QString>("target"); // empty: the dialog itself
    QTest::addColumn<int>("key");

    QTest::newRow("Return on dialog") << QString() << int(Qt::Key_Return);
    QTest::newRow("Return on port list") << QStringLiteral("CboPort") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter on baud list") << QStringLiteral("CboBaud") << int(Qt::Key_Enter);
}

void TestDlgIFSet::enterPressesSet()
{
    QFETCH(QString, target);
    QFETCH(int, key);

    Define define;
    DlgIFSet dlg(define);
    dlg.show();
    list(dlg, "CboBaud")->setCurrentIndex(7);
    QWidget *to = target.isEmpty() ? &dlg : dlg.findChild<QWidget *>(target);
    QVERIFY(to);
    QTest::keyClick(to, Qt::Key(key));

    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!define.IFSetCancelled);
    QCOMPARE(define.ComBaud, 38400);
}

void TestDlgIFSet::cancelled_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << QStringLiteral("cancel");
    QTest::newRow("Esc") << QStringLiteral("esc");
    QTest::newRow("close box") << QStringLiteral("close");
    QTest::newRow("reject") << QStringLiteral("reject");
}

void TestDlgIFSet::cancelled()
{
    QFETCH(QString, how);

    const PcSide before{2, 4800, 1, 7};
    Define define;
    setPcSide(define, before);
    define.IFSetCancelled = false;
    DlgIFSet dlg(define);
    dlg.show();
    list(dlg, "CboPort")->setCurrentIndex(3);
    list(dlg, "CboBaud")->setCurrentIndex(7);
    list(dlg, "CboParity")->setCurrentIndex(2);
    list(dlg, "CboBitLen")->setCurrentIndex(1);

    if (how == QLatin1String("cancel"))
        QTest::mouseClick(button(dlg, "CmdCancel"), Qt::LeftButton);
    else if (how == QLatin1String("esc"))
        QTest::keyClick(list(dlg, "CboPort"), Qt::Key_Escape);
    else if (how == QLatin1String("close"))
        QVERIFY(dlg.close());
    else
        dlg.reject();

    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(define.IFSetCancelled);
    const PcSide after = pcSideOf(define);
    QCOMPARE(after.port, before.port);
    QCOMPARE(after.baud, before.baud);
    QCOMPARE(after.parity, before.parity);
    QCOMPARE(after.bitLen, before.bitLen);
}

void TestDlgIFSet::secondShowingStartsFromVariables()
{
    Define define;
    setPcSide(define, {3, 2400, 2, 7});
    {
        DlgIFSet first(define);
        first.show();
        list(first, "CboPort")->setCurrentIndex(0);
        list(first, "CboBaud")->setCurrentIndex(7);
        QTest::mouseClick(button(first, "CmdCancel"), Qt::LeftButton);
    }
    define.IFSetCancelled = false;
    DlgIFSet second(define);
    second.show();
    QVERIFY(define.IFSetCancelled);
    QCOMPARE(list(second, "CboPort")->currentIndex(), 2);
    QCOMPARE(list(second, "CboBaud")->currentIndex(), 3);
    QCOMPARE(list(second, "CboParity")->currentIndex(), 2);
    QCOMPARE(list(second, "CboBitLen")->currentIndex(), 0);

    // Hiding and showing the same dialog again preselects afresh as well.
    list(second, "CboBaud")->setCurrentIndex(0);
    second.hide();
    second.show();
    QCOMPARE(list(second, "CboBaud")->currentIndex(), 3);
}

void TestDlgIFSet::items()
{
    Define define;
    DlgIFSet dlg(define);
    QCOMPARE(itemsOf(list(dlg, "CboPort")), QStringList({" COM1:", " COM2:", " COM3:", " COM4:"}));
    QCOMPARE(itemsOf(list(dlg, "CboBaud")),
             QStringList({"    300bps", "    600bps", "  1,200bps", "  2,400bps", "  4,800bps",
                          "  9,600bps", " 19,200bps", " 38,400bps"}));
    QCOMPARE(itemsOf(list(dlg, "CboParity")), QStringList({" Non", " Even", " Odd"}));
    QCOMPARE(itemsOf(list(dlg, "CboBitLen")), QStringList({" 7bit", " 8bit"}));
    for (auto *box : dlg.findChildren<QComboBox *>())
        QVERIFY2(!box->isEditable(), qPrintable(box->objectName()));
}

void TestDlgIFSet::window()
{
    Define define;
    QWidget parent;
    DlgIFSet dlg(define, &parent);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Interface Set"));
    QCOMPARE(dlg.minimumSize(), QSize(356, 177));
    QCOMPARE(dlg.maximumSize(), QSize(356, 177));
    QVERIFY(!dlg.windowIcon().isNull());
    QCOMPARE(dlg.windowIcon().pixmap(16, 16).size(), QSize(16, 16));

    const Qt::WindowFlags flags = dlg.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));

    QCOMPARE(dlg.font().family(), QStringLiteral("Century"));
    QCOMPARE(dlg.font().pointSizeF(), 11.25);
    auto *set = button(dlg, "CmdSet");
    QCOMPARE(set->text(), QStringLiteral("Set"));
    QCOMPARE(set->font().pointSizeF(), 14.25);
    QVERIFY(set->font().bold());
    QVERIFY(set->isDefault());
    QCOMPARE(button(dlg, "CmdCancel")->text(), QStringLiteral("Cancel"));
    QVERIFY(!button(dlg, "CmdCancel")->isDefault());
}

void TestDlgIFSet::labelsRightAligned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("topTwips");
    QTest::newRow("LblPort") << "LblPort"
                             << "Port No." << 360;
    QTest::newRow("LblBaud") << "LblBaud"
                             << "Baud rate" << 960;
    QTest::newRow("LblParity") << "LblParity"
                               << "Parity" << 1560;
    QTest::newRow("LblBitLen") << "LblBitLen"
                               << "Bit Length" << 2160;
}

void TestDlgIFSet::labelsRightAligned()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, topTwips);

    Define define;
    DlgIFSet dlg(define);
    dlg.show();
    auto *label = dlg.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->x() + label->width(), twips(1575));
    QCOMPARE(label->y(), twips(topTwips));
    QVERIFY(label->x() >= 0);
    // Wide enough for its whole caption.
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(text));
    QVERIFY(label->height() >= label->fontMetrics().height());
}

void TestDlgIFSet::focusAndTabOrder()
{
    Define define;
    QWidget parent;
    parent.show();
    DlgIFSet dlg(define, &parent);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(QApplication::focusWidget(), list(dlg, "CboPort"));

    const QStringList order{"CboBaud", "CboParity", "CboBitLen", "CmdSet", "CmdCancel", "CboPort"};
    for (const QString &next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), next);
    }
}

void TestDlgIFSet::listItemsFit()
{
    Define define;
    DlgIFSet dlg(define);
    dlg.show();
    const QString family = QFontInfo(dlg.font()).family();
    if (!family.startsWith(QLatin1String("C059")))
        QSKIP("the Century stand-in C059 is not installed");

    for (auto *box : dlg.findChildren<QComboBox *>()) {
        QStyleOptionComboBox opt;
        opt.initFrom(box);
        opt.frame = true;
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                         QStyle::SC_ComboBoxEditField, box);
        for (int i = 0; i < box->count(); ++i) {
            const QString text = box->itemText(i);
            QVERIFY2(box->fontMetrics().horizontalAdvance(text) <= field.width(),
                     qPrintable(box->objectName() + text));
        }
    }
}

QTEST_MAIN(TestDlgIFSet)
#include "tst_dlgifset.moc"
