#include "AppRig.h"
#include "VersionInfo.h"
#include "Widgets.h"

#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void startWithoutSettingsFile()
    {
        AppRig r;
        QVERIFY(r.load());
        FrmMain &w = r.w();
        QCOMPARE(r.define.AppDir, QDir::currentPath());
        // Lists on their first entries, the emulation row current, the box ticked.
        for (QComboBox *list :
             {w.CboINChr, w.CboCodePage, w.CboEmulation, w.CboCommunication, w.CboBaud})
            QCOMPARE(list->currentIndex(), 0);
        QVERIFY(w.OptSetSel[2]->isChecked());
        QCOMPARE(w.SetSelIndex, 2);
        QCOMPARE(w.ResetSelIndex, 0);
        QVERIFY(w.ChkSetTerm->isChecked());
        QVERIFY(!w.RawSend);
        QCOMPARE(r.status(), QStringLiteral(" "));
        QVERIFY(w.TmrStat->isEnabled());
        QCOMPARE(w.TmrStat->interval(), 500);
        QCOMPARE(w.PicIFStat->lines(), QStringList({"  COM1:", "  9600bps", "  N - 8 - 1"}));
        QVERIFY(r.port.portOpen());
        QCOMPARE(r.port.settings(), QStringLiteral("9600,N,8,1"));
        QCOMPARE(r.port.commPort(), 1);
        QVERIFY(!QFile::exists(r.iniPath()));
    }

    void lockedStateAfterStartUp()
    {
        AppRig r;
        QVERIFY(r.load());
        FrmMain &w = r.w();
        // Inside the set-up panel only the emulation row and its list are usable.
        for (QWidget *child : w.FraPoleSet->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const bool usable = child == w.OptSetSel[2] || child == w.CboEmulation;
            QVERIFY2(child->isEnabled() == usable, qPrintable(child->objectName()));
        }
        for (QRadioButton *row : w.OptReset)
            QVERIFY(!row->isEnabled());
        QVERIFY(w.OptReset[0]->isChecked());
        QVERIFY(w.OptSet[0]->isEnabled() && w.OptSet[0]->isChecked());
        QVERIFY(!w.OptSet[1]->isEnabled());
        QVERIFY(w.ChkSetTerm->isEnabled());
        // The link-down look until the monitor's first tick.
        QVERIFY(!r.shown(w.CmdSend));
        QVERIFY(r.shown(w.LineX1) && r.shown(w.LineX2));
        for (QLabel *arrow : w.ImgArrow)
            QVERIFY(!r.shown(arrow));
        QVERIFY(!r.shown(w.LblSending));
        QVERIFY(r.shown(w.LblMessage));
        for (QAction *hidden : {w.MenuScroll, w.MenuOverWrite, w.MenuStopDemo})
            QVERIFY(!hidden->isVisible());
        for (QAction *item :
             {w.MenuIFSet, w.MenuTest, w.MenuDemo, w.MenuInit, w.MenuEnd, w.MenuHVersion})
            QVERIFY(item->isVisible() && item->isEnabled());
    }

    void startWithFullSettingsFile()
    {
        AppRig r;
        r.writeIni("PoleSet   12-06-2026  10:00:00\r\nPort= 4\r\nBaud= 38400\r\nParity=O\r\n"
                   "BitLen= 7\r\nINChar= 10\r\nCodePage= 9\r\nEmulation=ESC/POS\r\n"
                   "Upper=  Hello = World\r\nLower=Bye\r\n");
        QVERIFY(r.load());
        FrmMain &w = r.w();
        QCOMPARE(w.CboINChr->currentIndex(), 10);
        QCOMPARE(w.CboCodePage->currentIndex(), 9);
        QCOMPARE(w.CboEmulation->currentIndex(), 1);
        QCOMPARE(w.CboCommunication->currentIndex(), 5);
        QCOMPARE(w.CboBaud->currentIndex(), 6);
        QCOMPARE(w.TxtUpperLine->text(), QStringLiteral("  Hello = World"));
        QCOMPARE(w.TxtLowerLine->text(), QStringLiteral("Bye"));
        // Filling the controls selected other rows on the way; start-up ends on row 2.
        QCOMPARE(w.SetSelIndex, 2);
        QVERIFY(w.OptSetSel[2]->isChecked());
        QVERIFY(w.ChkSetTerm->isChecked());
        QCOMPARE(w.PicIFStat->lines(), QStringList({"  COM4:", "  38400bps", "  O - 7 - 1"}));
        QCOMPARE(r.port.settings(), QStringLiteral("38400,O,7,1"));
        QCOMPARE(r.port.commPort(), 4);
    }

    void outOfRangeSettingsGiveAConsistentWindow()
    {
        AppRig r;
        r.writeIni("poleset\r\nPort= 300\r\nBaud= 99999999999\r\nINChar= -1\r\nCodePage= 77\r\n"
                   "BitLen= 7\r\nParity=E\r\n");
        QVERIFY(r.load());
        FrmMain &w = r.w();
        for (QComboBox *list : {w.CboINChr, w.CboCodePage, w.CboBaud})
            QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(w.CboCommunication->currentIndex(), 3);
        QCOMPARE(r.port.commPort(), 1);
    }

    void listsInStoredOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("baud") << "CboBaud" << QStringList{"  9,600bps", "  4,800bps", "  2,400bps",
                                                          "  1,200bps", "    600bps", "    300bps",
                                                          " 38,400bps", " 19,200bps"};
        QTest::newRow("communication")
            << "CboCommunication"
            << QStringList{" N-8-1", " N-7-1", " E-8-1", " E-7-1", " O-8-1", " O-7-1"};
        QTest::newRow("emulation") << "CboEmulation" << QStringList{" T3150-LC", " ESC/POS"};
        QTest::newRow("code page") << "CboCodePage"
                                   << QStringList{" PC437(USA,Std-EUR)",
                                                  " Katakana for Japan",
                                                  " PC850(Multilingual)",
                                                  " PC860(Portuguese)",
                                                  " PC863(Canadian-Fr)",
                                                  " PC865(Nordic)",
                                                  " Slavonic",
                                                  " Russia",
                                                  " PC858(Euro)",
                                                  " Windows code"};
        QTest::newRow("international character") << "CboINChr"
                                                 << QStringList{" U.S.A",
                                                                " France",
                                                                " Germany",
                                                                " U.K",
                                                                " Denmark I",
                                                                " Sweden",
                                                                " Italy",
                                                                " Spain",
                                                                " Japan",
                                                                " Norway",
                                                                " Denmark II",
                                                                " Slavonic",
                                                                " Russia",
                                                                " Factory define I",
                                                                " Factory define II",
                                                                " User define"};
    }
    void listsInStoredOrder()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        Define define;
        FakeClock clock;
        FakePort port;
        FakePrompter prompter;
        FrmMain w(define, port, clock, prompter);
        auto *list = w.findChild<QComboBox *>(name);
        QVERIFY(list);
        QVERIFY(!list->isEditable());
        // A new window selects nothing.
        QCOMPARE(list->currentIndex(), -1);
        QStringList actual;
        for (int i = 0; i < list->count(); ++i)
            actual << list->itemText(i);
        QCOMPARE(actual, items);
    }

    void captionsAndMenus()
    {
        Define define;
        FakeClock clock;
        FakePort port;
        FakePrompter prompter;
        FrmMain w(define, port, clock, prompter);
        QCOMPARE(w.windowTitle(), QStringLiteral("Velodisp T3150-LC"));
        QCOMPARE(w.centralWidget()->size(), QSize(628, 392));
        QCOMPARE(w.FraPoleSet->title(), QString(33, u' '));
        QCOMPARE(w.FraResROM->title(), QString(40, u' '));
        QCOMPARE(w.LblMessage->text(), QStringLiteral(" Message"));
        QCOMPARE(w.CmdSend->text(), QStringLiteral("Send"));
        QVERIFY(w.CmdSend->isDefault());
        QCOMPARE(w.TxtUpperLine->maxLength(), 198);
        QStringList menu;
        for (QAction *top : w.menuBar()->actions()) {
            menu << top->text();
            for (QAction *item : top->menu()->actions())
                menu << (item->isSeparator() ? QStringLiteral("-")
                                             : QStringLiteral("  ") + item->text());
        }
        QCOMPARE(menu,
                 QStringList({"&File", "  Interface &Set", "-", "  &Test", "  &Run Demo",
                              "  Sto&p Demo", "  Init &Display", "  Sc&roll Display",
                              "  &Overwrite Display", "-", "  E&xit", "&Help", "  &Version"}));
    }

    void tabOrder()
    {
        Define define;
        FakeClock clock;
        FakePort port;
        FakePrompter prompter;
        FrmMain w(define, port, clock, prompter);
        const QList<QWidget *> expected = {
            w.OptSet[0],    w.CmdSend,          w.OptSet[1],    w.OptReset[0],  w.OptReset[1],
            w.OptReset[2],  w.CboINChr,         w.CboCodePage,  w.TxtUpperLine, w.TxtLowerLine,
            w.CboEmulation, w.CboCommunication, w.CboBaud,      w.ChkSetTerm,   w.OptSetSel[0],
            w.OptSetSel[1], w.OptSetSel[2],     w.OptSetSel[3], w.OptSetSel[4], w.OptSetSel[5],
            w.OptSetSel[6]};
        QWidget *widget = expected.front();
        for (int i = 1; i < expected.size(); ++i) {
            widget = widget->nextInFocusChain();
            while (!expected.contains(widget))
                widget = widget->nextInFocusChain();
            QCOMPARE(widget, expected[i]);
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
        QCOMPARE(box.title, QStringLiteral("Port Error!"));
        QCOMPARE(box.text, QStringLiteral("Port is already opened."));
        QVERIFY(box.informative.contains(QStringLiteral("COM1")));
        QVERIFY(box.informative.contains(QStringLiteral("Permission denied")));
        QVERIFY(!r.w().TmrStat->isEnabled());
        QVERIFY(!r.w().isVisible());
        QVERIFY(!QFile::exists(r.iniPath()));
    }

    void showStatusAndInterfaceStatus()
    {
        AppRig r;
        QVERIFY(r.load());
        r.w().ShowStatus(QString());
        QCOMPARE(r.status(), QStringLiteral(" "));
        r.w().ShowStatus(QStringLiteral("Set Interface"));
        QCOMPARE(r.status(), QStringLiteral(" Set Interface"));
        r.define.ComPort = 4;
        r.define.ComBaud = 38400;
        r.define.ComParity = 2;
        r.define.ComBitLen = 7;
        r.w().ShowInterfaceStatus();
        QCOMPARE(r.w().PicIFStat->lines(), QStringList({"  COM4:", "  38400bps", "  O - 7 - 1"}));
    }

    void exitWithDisplayDisconnected()
    {
        AppRig r;
        r.writeIni("PoleSet\r\nPort= 2\r\n");
        const QByteArray before = r.readIni();
        r.port.dsr = false;
        QVERIFY(r.load());
        r.clock.advance(0.5);
        r.define.ComBaud = 19200; // as if changed through Interface Set: not written at exit
        const double start = r.clock.now();
        r.w().MenuEnd->trigger();
        QVERIFY(r.w().unloaded());
        QVERIFY(r.port.bytes.empty());
        QCOMPARE(r.port.events, QStringList({"rts 0", "dtr 0", "clear in", "clear out", "close"}));
        QCOMPARE(r.status(), QStringLiteral(" End of Customer Display Set"));
        QVERIFY(qAbs(r.clock.now() - start - 1.0) < 0.001);
        QVERIFY(!r.w().TmrStat->isEnabled());
        QCOMPARE(r.w().TmrStat->interval(), 0);
        QVERIFY(!r.shown(r.w().CmdSend));
        QVERIFY(r.shown(r.w().LineX1));
        QVERIFY(r.w().PicIFStat->lines().isEmpty());
        QCOMPARE(r.readIni(), before);
    }

    void exitWithDisplayConnectedSendsTheFarewell()
    {
        AppRig r;
        r.loadWithLinkUp();
        QVERIFY(r.shown(r.w().CmdSend));
        r.w().close();
        const QByteArray farewell = QByteArray::fromHex("0C02051B40") + "End of Set!!" + '\x03';
        QCOMPARE(r.port.written(), farewell);
        QCOMPARE(farewell.size(), 18);
        QCOMPARE(r.status(), QStringLiteral(" Send Data: STX 05 1B40456E64206F66205365742121 ETX"));
        QCOMPARE(r.port.events.mid(0, 5),
                 QStringList({"rts 0", "dtr 0", "clear in", "clear out", "close"}));
        QVERIFY(r.prompter.boxes.empty());
        QVERIFY(!QFile::exists(r.iniPath()));
    }

    void farewellThatFailsStillShutsDown()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.port.stalled = true;
        r.w().close();
        QCOMPARE(r.prompter.titles(), QStringList{"Send Error!!"});
        QVERIFY(!r.port.portOpen());
        QVERIFY(r.w().unloaded());
    }

    void exitWhenThePortIsAlreadyClosed()
    {
        AppRig r;
        QVERIFY(r.load());
        r.port.setPortOpen(false);
        r.w().close();
        QVERIFY(r.w().unloaded());
        QVERIFY(r.prompter.boxes.empty());
    }

    void enterPressesSendWhileItIsShown()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&r.w()));
        r.w().OptSetSel[2]->setFocus();
        QTest::keyClick(r.w().CboEmulation, Qt::Key_Return);
        QCOMPARE(r.port.written().left(6), AppRig::framed(QStringLiteral("4330")));

        // With the Send button hidden, Enter in a text box sends nothing.
        r.port.forget();
        r.port.dsr = false;
        r.clock.advance(0.5);
        QVERIFY(!r.shown(r.w().CmdSend));
        r.w().TxtUpperLine->setFocus();
        QTest::keyClick(r.w().TxtUpperLine, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(r.port.bytes.empty());

        r.port.dsr = true;
        r.clock.advance(0.5);
        QTest::keyClick(r.w().TxtUpperLine, Qt::Key_Return);
        QVERIFY(!r.port.bytes.empty());
    }

    void messageBoxesRefuseControlCharacters()
    {
        AppRig r;
        QVERIFY(r.load());
        r.w().OptSet_Click(0);
        QLineEdit *box = r.w().TxtUpperLine;
        for (const QString &key : {QStringLiteral("A"), QStringLiteral("\x01"), QStringLiteral("B"),
                                   QStringLiteral("\x7f"), QStringLiteral("C")}) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, key);
            QApplication::sendEvent(box, &press);
        }
        QCOMPARE(box->text(), QStringLiteral("ABC"));
        box->selectAll();
        box->insert(QStringLiteral("x\ty")); // a paste holding a tab is refused whole
        QCOMPARE(box->text(), QStringLiteral("ABC"));
        box->insert(QString(300, u'z'));
        QCOMPARE(box->text().size(), 198);
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
