#include "AppRig.h"

#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using Indexes = QList<int>;

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void startUp_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Indexes>("lists"); // INChr, CodePage, Emulation, Communication, Baud
        QTest::addColumn<QStringList>("panel");
        QTest::addColumn<QString>("port");
        QTest::newRow("no file") << QByteArray() << Indexes{0, 0, 0, 0, 0}
                                 << QStringList{"  COM1:", "  9600bps", "  N - 8 - 1"}
                                 << "open 9600,N,8,1 COM1";
        QTest::newRow("full file")
            << QByteArray("PoleSet   12-06-2026  10:00:00\r\nPort= 4\r\nBaud= 38400\r\nParity=O\r\n"
                          "BitLen= 7\r\nINChar= 10\r\nCodePage= 9\r\nEmulation=ESC/POS\r\n"
                          "Upper=  Hello = World\r\nLower=Bye\r\n")
            << Indexes{10, 9, 1, 5, 6} << QStringList{"  COM4:", "  38400bps", "  O - 7 - 1"}
            << "open 38400,O,7,1 COM4";
        QTest::newRow("out of range values")
            << QByteArray("poleset\r\nPort= 300\r\nBaud= 99999999999\r\nINChar= -1\r\n"
                          "CodePage= 77\r\nBitLen= 7\r\nParity=E\r\n")
            << Indexes{0, 0, 0, 3, 0} << QStringList{"  COM1:", "  9600bps", "  E - 7 - 1"}
            << "open 9600,E,7,1 COM1";
    }
    void startUp()
    {
        QFETCH(QByteArray, file);
        QFETCH(Indexes, lists);
        QFETCH(QStringList, panel);
        QFETCH(QString, port);
        AppRig r;
        if (!file.isEmpty())
            r.writeIni(file);
        r.window = std::make_unique<FrmMain>(r.define, r.port, r.clock, r.prompter);
        QVERIFY(r.w().Form_Load());
        FrmMain &w = r.w();
        QCOMPARE(r.define.AppDir, QDir::currentPath());
        QCOMPARE(Indexes({w.CboINChr->currentIndex(), w.CboCodePage->currentIndex(),
                          w.CboEmulation->currentIndex(), w.CboCommunication->currentIndex(),
                          w.CboBaud->currentIndex()}),
                 lists);
        QCOMPARE(w.PicIFStat->lines(), panel);
        QCOMPARE(r.port.events, QStringList({port, "clear in", "clear out"}));
        // Filling the lists selected their rows; start-up ends on the emulation row, ticked.
        QVERIFY(w.OptSetSel[2]->isChecked());
        QCOMPARE(w.SetSelIndex, 2);
        QCOMPARE(w.ResetSelIndex, 0);
        QVERIFY(w.ChkSetTerm->isChecked());
        QCOMPARE(r.status(), QStringLiteral(" "));
        QVERIFY(w.TmrStat->isEnabled());
        QCOMPARE(w.TmrStat->interval(), 500);
        QCOMPARE(r.readIni(), file); // reading never writes
    }

    void lockedUntilTheFirstSend()
    {
        AppRig r;
        QVERIFY(r.load());
        FrmMain &w = r.w();
        // Inside the set-up panel only the emulation row and its list are usable.
        for (QWidget *child : w.FraPoleSet->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QCOMPARE(child->isEnabled(), child == w.OptSetSel[2] || child == w.CboEmulation);
        for (QRadioButton *row : w.OptReset)
            QVERIFY(!row->isEnabled());
        QVERIFY(w.OptReset[0]->isChecked());
        QVERIFY(!w.OptSet[1]->isEnabled());
        // The link-down look until the monitor's first tick.
        QVERIFY(!r.shown(w.CmdSend) && !r.shown(w.LblSending));
        QVERIFY(r.shown(w.LineX1) && r.shown(w.LineX2));
        for (QLabel *arrow : w.ImgArrow)
            QVERIFY(!r.shown(arrow));
        QStringList menu;
        for (QAction *top : w.menuBar()->actions()) {
            menu << top->text();
            for (QAction *item : top->menu()->actions()) {
                if (item->isVisible())
                    menu << (item->isSeparator() ? QStringLiteral("-") : item->text());
            }
        }
        QCOMPARE(menu, QStringList({"&File", "Interface &Set", "-", "&Test", "&Run Demo",
                                    "Init &Display", "-", "E&xit", "&Help", "&Version"}));
    }

    void newWindow()
    {
        Define define;
        FakeClock clock;
        FakePort port;
        FakePrompter prompter;
        FrmMain w(define, port, clock, prompter);
        QCOMPARE(w.centralWidget()->size(), QSize(628, 392));
        // No list has a selection yet; the display baud list keeps its unsorted order.
        for (QComboBox *list : w.findChildren<QComboBox *>())
            QCOMPARE(list->currentIndex(), -1);
        QStringList baud;
        for (int i = 0; i < w.CboBaud->count(); ++i)
            baud << w.CboBaud->itemText(i);
        QCOMPARE(baud, QStringList({"  9,600bps", "  4,800bps", "  2,400bps", "  1,200bps",
                                    "    600bps", "    300bps", " 38,400bps", " 19,200bps"}));
        // Tab order of the focusable controls.
        const QList<QWidget *> order = {
            w.OptSet[0],    w.CmdSend,          w.OptSet[1],    w.OptReset[0],  w.OptReset[1],
            w.OptReset[2],  w.CboINChr,         w.CboCodePage,  w.TxtUpperLine, w.TxtLowerLine,
            w.CboEmulation, w.CboCommunication, w.CboBaud,      w.ChkSetTerm,   w.OptSetSel[0],
            w.OptSetSel[1], w.OptSetSel[2],     w.OptSetSel[3], w.OptSetSel[4], w.OptSetSel[5],
            w.OptSetSel[6]};
        QWidget *widget = order.front();
        for (int i = 1; i < order.size(); ++i) {
            do
                widget = widget->nextInFocusChain();
            while (!order.contains(widget));
            QCOMPARE(widget, order[i]);
        }
    }

    void portErrorAtStartUp()
    {
        AppRig r;
        r.port.refuseOpen = QStringLiteral("Permission denied");
        QVERIFY(!r.load());
        QCOMPARE(r.prompter.boxes.size(), size_t(1));
        const FakePrompter::Box &box = r.prompter.boxes.front();
        QVERIFY(box.warning);
        QCOMPARE(box.title + box.text, QStringLiteral("Port Error!Port is already opened."));
        // The reason, then what the machine offers instead.
        QVERIFY(box.informative.startsWith(QStringLiteral("Permission denied\n\n")));
        QVERIFY(!r.w().TmrStat->isEnabled());
        QVERIFY(!QFile::exists(r.iniPath()));
    }

    void exit_data()
    {
        QTest::addColumn<bool>("linkUp");
        QTest::addColumn<bool>("farewellFails");
        QTest::newRow("display disconnected") << false << false;
        QTest::newRow("display connected") << true << false;
        QTest::newRow("farewell fails") << true << true;
    }
    void exit()
    {
        QFETCH(bool, linkUp);
        QFETCH(bool, farewellFails);
        AppRig r;
        r.writeIni("PoleSet\r\nPort= 2\r\n");
        r.port.dsr = linkUp;
        QVERIFY(r.load());
        r.clock.advance(0.5);
        r.define.ComBaud = 19200; // as if changed through Interface Set: not written at exit
        r.port.stalled = farewellFails;
        const double start = r.clock.now();
        r.w().MenuEnd->trigger();
        QVERIFY(r.w().unloaded());
        const QByteArray farewell = QByteArray::fromHex("0C02051B40") + "End of Set!!" + '\x03';
        QCOMPARE(r.port.written(), !linkUp         ? QByteArray()
                                   : farewellFails ? farewell.left(1)
                                                   : farewell);
        QCOMPARE(r.prompter.titles(), farewellFails ? QStringList{"Send Error!!"} : QStringList());
        QCOMPARE(r.port.events.mid(0, 5),
                 QStringList({"rts 0", "dtr 0", "clear in", "clear out", "close"}));
        QCOMPARE(r.status(), linkUp ? " Send Data: STX 05 1B40456E64206F66205365742121 ETX"
                                    : " End of Customer Display Set");
        // The farewell's own time, then one second of the link-down look.
        QVERIFY(qAbs(r.clock.now() - start - (linkUp ? (farewellFails ? 5.0 : 3.0) : 1.0)) < 0.01);
        QCOMPARE(r.w().TmrStat->interval(), 0);
        QVERIFY(!r.shown(r.w().CmdSend) && r.shown(r.w().LineX1));
        QVERIFY(r.w().PicIFStat->lines().isEmpty());
        QCOMPARE(r.readIni(), QByteArray("PoleSet\r\nPort= 2\r\n"));
    }

    void enterPressesSendWhileItIsShown()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&r.w()));
        QTest::keyClick(r.w().CboEmulation, Qt::Key_Return);
        QCOMPARE(r.port.written().left(6), AppRig::framed(QStringLiteral("4330")));
        // With the Send button hidden, Enter in a text box sends nothing.
        r.port.forget();
        r.port.dsr = false;
        r.clock.advance(0.5);
        QTest::keyClick(r.w().TxtUpperLine, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(r.port.bytes.empty());
        r.port.dsr = true;
        r.clock.advance(0.5);
        QTest::keyClick(r.w().TxtUpperLine, Qt::Key_Return);
        QVERIFY(!r.port.bytes.empty());
    }

    void messageBoxes()
    {
        AppRig r;
        r.writeIni("PoleSet\r\nLower=" + QByteArray(250, 'm') + "\r\n");
        QVERIFY(r.load());
        QLineEdit *box = r.w().TxtUpperLine;
        box->setEnabled(true);
        const auto type = [&box](const QString &key, Qt::Key code = Qt::Key_unknown) {
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, key);
            QApplication::sendEvent(box, &press);
        };
        for (const char *key : {"A", "\x01", "B", "\x7f", "C"})
            type(QString::fromLatin1(key));
        QCOMPARE(box->text(), QStringLiteral("ABC"));
        box->insert(QStringLiteral("x\ty")); // a paste holding a tab is refused whole
        QCOMPARE(box->text(), QStringLiteral("ABC"));
        box->setCursorPosition(1);
        box->insert(QString(300, u'z')); // a paste keeps what fits
        QCOMPARE(box->text(), "A" + QString(195, u'z') + "BC");
        type(QStringLiteral("x"));
        QCOMPARE(box->text().size(), 198);
        // A longer message from the file stays whole: typing adds nothing, deleting works.
        box = r.w().TxtLowerLine;
        box->setEnabled(true);
        type(QStringLiteral("x"));
        QCOMPARE(box->text(), QString(250, u'm'));
        type(QString(), Qt::Key_Backspace);
        QCOMPARE(box->text(), QString(249, u'm'));
    }

    void keyboardReachesTheSelectedRowOfEachGroup()
    {
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        w.CmdSend->click(); // unlocks the panels
        r.clock.advance(0.5);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto tabCycle = [&w](QWidget *from) {
            QList<QWidget *> seen{from};
            from->setFocus();
            for (int i = 0; i < 30; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                if (QApplication::focusWidget() == from)
                    return seen;
                seen << QApplication::focusWidget();
            }
            return seen << nullptr;
        };
        w.CboBaud->setCurrentIndex(3);
        QCOMPARE(tabCycle(w.OptSet[0]),
                 (QList<QWidget *>{w.OptSet[0], w.CmdSend, w.CboINChr, w.CboCodePage,
                                   w.TxtUpperLine, w.TxtLowerLine, w.CboEmulation,
                                   w.CboCommunication, w.CboBaud, w.ChkSetTerm, w.OptSetSel[6]}));
        // The arrows move within a group: from "System Set" to "Reset EEPROM", then the rows.
        QTest::keyClick(w.OptSet[0], Qt::Key_Down);
        QVERIFY(w.OptSet[1]->isChecked() && w.OptSet[1]->hasFocus());
        QCOMPARE(tabCycle(w.OptSet[1]), (QList<QWidget *>{w.OptSet[1], w.OptReset[0], w.CmdSend}));
        w.OptReset[0]->setFocus();
        QTest::keyClick(w.OptReset[0], Qt::Key_Down);
        QVERIFY(w.OptReset[1]->isChecked());
        QCOMPARE(w.ResetSelIndex, 1);
        QCOMPARE(tabCycle(w.OptSet[1]), (QList<QWidget *>{w.OptSet[1], w.OptReset[1], w.CmdSend}));
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
