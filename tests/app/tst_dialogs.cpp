#include "DlgIFSet.h"
#include "MessageBoxPrompter.h"
#include "ModalGuard.h"
#include "FailureWords.h"

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
        // A reader hears each list by its label, the label's buddy, and its item.
        const QStringList labels{"Port No.", "Baud rate", "Parity", "Bit Length"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(QAccessible::queryAccessibleInterface(r.lists[i])->text(QAccessible::Name),
                     labels[i] + ": " + r.lists[i]->currentText());
        }
        QCOMPARE(r.lists[1]->itemText(2), QStringLiteral("  1,200bps"));
        QVERIFY(r.dlg.findChild<QPushButton *>("CmdSet")->isDefault());
        // Each port says where its COMn entry leads.
        QCOMPARE(r.lists[0]->itemData(3, Qt::ToolTipRole).toString(),
                 describeComEntry(inspectComEntry(4, StartDir())));
        for (int i = 0; i < 4; ++i)
            r.lists[i]->setCurrentIndex(choose[i]);
        // Over AT-SPI the item is in the name, its index the value.
        QAccessibleInterface *baud = QAccessible::queryAccessibleInterface(r.lists[1]);
        QCOMPARE(baud->text(QAccessible::Name), "Baud rate: " + r.lists[1]->currentText());
        QCOMPARE(baud->valueInterface()->currentValue(), QVariant(choose[1]));
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

    // The real boxes: title, text, informative text, icon and the one OK button.
    void messageBoxes()
    {
        MessageBoxPrompter prompter;
        QStringList seen;
        const auto look = [&seen] {
            const ModalGuard guard;
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen << QStringList{box->windowTitle(), box->text(), box->informativeText(),
                                QString::number(box->icon()),
                                QString::number(box->standardButtons())}
                        .join(u'|');
            box->button(QMessageBox::Ok)->click();
        };
        QTimer::singleShot(0, look);
        prompter.warning(QStringLiteral("Port Error!"), QStringLiteral("Port is already opened."),
                         QStringLiteral("why"));
        QTimer::singleShot(0, look);
        prompter.message(QStringLiteral("Version Information"), QStringLiteral("Velodisp"));
        QCOMPARE(seen, QStringList({"Port Error!|Port is already opened.|why|2|1024",
                                    "Version Information|Velodisp||0|1024"}));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
