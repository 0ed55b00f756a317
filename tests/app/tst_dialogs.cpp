#include "DlgIFSet.h"
#include "FailureWords.h"
#include "MessageBoxPrompter.h"
#include "ModalGuard.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using Ints = QList<int>;

// Port, baud, parity and bit length as the dialog hands them back.
Ints ints(const InterfaceSettings &s)
{
    return {s.port, s.line.baud, int(s.line.parity), s.line.dataBits};
}

// A dialog shown over the PC side's port, baud, parity and bit length.
struct Rig
{
    InterfaceSettings current;
    DlgIFSet dlg;
    QList<QComboBox *> lists; // port, baud, parity, bit length

    explicit Rig(const Ints &v)
        : current{v[0], {v[1], Parity(v[2]), v[3], 1}}
        , dlg(current, StartDir())
    {
        for (const char *name : {"CboPort", "CboBaud", "CboParity", "CboBitLen"})
            lists << dlg.findChild<QComboBox *>(QLatin1String(name));
        dlg.show();
    }
    // The four lists' indexes.
    Ints shown() const
    {
        Ints all;
        for (const QComboBox *list : lists)
            all << list->currentIndex();
        return all;
    }
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void closing_data()
    {
        QTest::addColumn<Ints>("variables"); // ComPort, ComBaud, ComParity, ComBitLen
        QTest::addColumn<Ints>("preset");    // the port, baud, parity, bit-length indexes shown
        QTest::addColumn<Ints>("choose");    // indexes
        QTest::addColumn<Ints>("expected");  // variables after closing
        QTest::newRow("CmdSet") << Ints{1, 9600, 0, 8} << Ints{0, 5, 0, 1} << Ints{3, 7, 1, 1}
                                << Ints{4, 38400, 1, 8};
        QTest::newRow("Enter") << Ints{4, 38400, 2, 7} << Ints{3, 7, 2, 0} << Ints{1, 2, 0, 1}
                               << Ints{2, 1200, 0, 8};
        // An unknown rate shows as 9600; values out of range as the nearest item.
        QTest::newRow("CmdCancel") << Ints{1, 115200, 0, 8} << Ints{0, 5, 0, 1} << Ints{3, 7, 1, 0}
                                   << Ints{1, 115200, 0, 8};
        QTest::newRow("Esc") << Ints{9, 0, 3, 9} << Ints{3, 5, 2, 1} << Ints{1, 6, 0, 0}
                             << Ints{9, 0, 3, 9};
        QTest::newRow("close box")
            << Ints{3, 2400, 2, 7} << Ints{2, 3, 2, 0} << Ints{0, 0, 1, 1} << Ints{3, 2400, 2, 7};
    }
    void closing()
    {
        QFETCH(Ints, variables);
        QFETCH(Ints, preset);
        QFETCH(Ints, choose);
        QFETCH(Ints, expected);
        const QString how = QLatin1String(QTest::currentDataTag());
        const bool cancelled = how != "CmdSet" && how != "Enter";
        Rig r(variables);
        QCOMPARE(r.shown(), preset);
        for (int i = 0; i < 4; ++i)
            r.lists[i]->setCurrentIndex(choose[i]);
        if (how.startsWith("Cmd"))
            QTest::mouseClick(r.dlg.findChild<QPushButton *>(how), Qt::LeftButton);
        else if (how == "close box")
            r.dlg.close();
        else
            QTest::keyClick(r.lists[1], how == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
        QVERIFY(!r.dlg.isVisible());
        QCOMPARE(r.dlg.result() == QDialog::Accepted, !cancelled);
        QCOMPARE(ints(cancelled ? r.current : r.dlg.settings()), expected);
        // Shown again, it starts from the settings it was given, not from the choices left.
        r.dlg.show();
        QCOMPARE(r.shown(), preset);
    }

    // What a reader hears, what the lists hold, and the way Tab goes.
    void looks()
    {
        Rig r({4, 9600, 0, 8});
        r.lists[1]->setCurrentIndex(2);
        // A reader hears each list by its label, the label's buddy, and its item; over AT-SPI
        // the item is in the name, its index the value.
        QStringList heard;
        for (QComboBox *list : r.lists)
            heard << QAccessible::queryAccessibleInterface(list)->text(QAccessible::Name);
        QCOMPARE(heard, QStringList({"Port No.:  COM4:", "Baud rate:   1,200bps", "Parity:  Non",
                                     "Bit Length:  8bit"}));
        QAccessibleInterface *baud = QAccessible::queryAccessibleInterface(r.lists[1]);
        QCOMPARE(baud->valueInterface()->currentValue(), QVariant(2));
        QStringList tabs;
        r.lists[0]->setFocus();
        for (int i = 0; i < 6; ++i, QTest::keyClick(r.dlg.focusWidget(), Qt::Key_Tab))
            tabs << r.dlg.focusWidget()->objectName();
        QCOMPARE(tabs, QStringList({"CboPort", "CboBaud", "CboParity", "CboBitLen", "CmdSet",
                                    "CmdCancel"}));
    }

    // The real boxes: title, text, informative text, icon and the one OK button.
    void messageBoxes()
    {
        MessageBoxPrompter prompter;
        QStringList seen;
        const auto look = [&seen](QMessageBox::Icon icon) {
            const ModalGuard guard;
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen << box->windowTitle() + '|' + box->text() + '|' + box->informativeText();
            QCOMPARE(box->icon(), icon);
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            box->button(QMessageBox::Ok)->click();
        };
        QTimer::singleShot(0, [&] { look(QMessageBox::Warning); });
        prompter.warning(QStringLiteral("Port Error!"), QStringLiteral("Port is already opened."),
                         QStringLiteral("why"));
        QTimer::singleShot(0, [&] { look(QMessageBox::NoIcon); });
        prompter.message(QStringLiteral("Version Information"), QStringLiteral("Velodisp"));
        QCOMPARE(seen, QStringList({"Port Error!|Port is already opened.|why",
                                    "Version Information|Velodisp|"}));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
