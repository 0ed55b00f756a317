#include "AppRig.h"
#include "SetupCommands.h"

#include <QtTest>

class TestSend : public QObject
{
    Q_OBJECT

    static const QByteArray &closingFrame()
    {
        static const QByteArray frame = QByteArray::fromHex("0C02050B526561647921") + '\x03';
        return frame;
    }

    // The first Send (command emulation) unlocks the panel; most tests start after it.
    static void unlock(AppRig &r)
    {
        r.w().CmdSend->click();
        QVERIFY(r.w().OptSet[1]->isEnabled());
        r.port.forget();
        r.clock.advance(0.5);
    }

private slots:
    void firstSendUnlocksTheWindow()
    {
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        w.CboEmulation->setCurrentIndex(1);
        w.CmdSend->click();
        QCOMPARE(r.port.written(), AppRig::framed("4331") + closingFrame());
        QCOMPARE(r.define.DspEmulation, 1);
        for (QRadioButton *row : w.OptSetSel)
            QVERIFY(row->isEnabled());
        for (QWidget *control :
             {static_cast<QWidget *>(w.CboINChr), static_cast<QWidget *>(w.CboCodePage),
              static_cast<QWidget *>(w.CboCommunication), static_cast<QWidget *>(w.CboBaud),
              static_cast<QWidget *>(w.TxtUpperLine), static_cast<QWidget *>(w.TxtLowerLine),
              static_cast<QWidget *>(w.OptSet[1])})
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        for (QRadioButton *row : w.OptReset)
            QVERIFY(!row->isEnabled());
        QVERIFY(w.MenuScroll->isVisible() && w.MenuOverWrite->isVisible());
        QVERIFY(r.readIni().contains("Emulation=ESC/POS\r\n"));
        QVERIFY(r.prompter.boxes.empty());
        QVERIFY(!r.shown(w.LblSending));
    }

    void failedFirstSendChangesNothing()
    {
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        w.CboEmulation->setCurrentIndex(1);
        r.port.stalled = true;
        w.CmdSend->click();
        QCOMPARE(r.prompter.titles(), QStringList{"Send Error!!"});
        QCOMPARE(r.port.written(), QByteArray("\x0c")); // gave up on the first byte
        QCOMPARE(r.define.DspEmulation, 0);
        QVERIFY(!w.OptSet[1]->isEnabled());
        QVERIFY(!w.CboINChr->isEnabled());
        QVERIFY(!w.MenuScroll->isVisible());
        QVERIFY(!QFile::exists(r.iniPath()));
        QVERIFY(w.TmrStat->isEnabled());
        QVERIFY(!w.RawSend);
    }

    void eachItemOnTheWire_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("Denmark II") << 0 << 10 << "" << AppRig::framed("533A");
        QTest::newRow("Windows code") << 1 << 9 << "" << AppRig::framed("5439");
        QTest::newRow("upper ABC") << 3 << -1 << "ABC" << AppRig::framed("4C31414243");
        QTest::newRow("upper empty") << 3 << -1 << "" << AppRig::framed("4C31");
        QTest::newRow("lower ABC raw")
            << 4 << -1 << "ABC" << QByteArray::fromHex("02054C3241424303");
        QTest::newRow("lower empty raw") << 4 << -1 << "" << QByteArray::fromHex("02054C3203");
        QTest::newRow("O-7-1") << 5 << 5 << "" << AppRig::framed("5036");
        QTest::newRow("19,200bps") << 6 << 7 << "" << AppRig::framed("4237");
    }
    void eachItemOnTheWire()
    {
        QFETCH(int, row);
        QFETCH(int, listIndex);
        QFETCH(QString, text);
        AppRig r;
        r.loadWithLinkUp();
        unlock(r);
        FrmMain &w = r.w();
        w.ChkSetTerm->setChecked(false);
        QComboBox *lists[7] = {w.CboINChr, w.CboCodePage,      w.CboEmulation, nullptr,
                               nullptr,    w.CboCommunication, w.CboBaud};
        if (lists[row]) {
            lists[row]->setCurrentIndex(listIndex);
        } else {
            // Typed and then set: the text changes even when it ends up empty.
            QLineEdit *box = row == 3 ? w.TxtUpperLine : w.TxtLowerLine;
            box->setText(text + QStringLiteral("x"));
            box->setText(text);
        }
        QCOMPARE(w.SetSelIndex, row);
        w.ChkSetTerm->setChecked(false);
        w.CmdSend->click();
        QFETCH(QByteArray, wire);
        QCOMPARE(r.port.written(), wire + closingFrame());
        QVERIFY(!w.RawSend);
        const int stored[7] = {
            r.define.DspINChar,        r.define.DspCodePage, r.define.DspEmulation, 0, 0,
            r.define.DspCommunication, r.define.DspBaud};
        if (lists[row])
            QCOMPARE(stored[row], listIndex);
        else
            QCOMPARE(row == 3 ? r.define.DspUpperLine : r.define.DspLowerLine, text);
        QCOMPARE(r.port.settings(), QStringLiteral("9600,N,8,1"));
    }

    void baudChangeSwitchesThePort()
    {
        AppRig r;
        r.loadWithLinkUp();
        unlock(r);
        FrmMain &w = r.w();
        w.ChkSetTerm->setChecked(false);
        w.CboBaud->setCurrentIndex(6);
        QVERIFY(w.ChkSetTerm->isChecked());
        w.CmdSend->click();
        QCOMPARE(r.port.written(), AppRig::framed("4236") + closingFrame());
        // The item frame at the old speed, the closing frame at the new one.
        QCOMPARE(r.port.bytes.front().settings, QStringLiteral("9600,N,8,1"));
        QCOMPARE(r.port.bytes.back().settings, QStringLiteral("38400,N,8,1"));
        QVERIFY(r.port.events.contains(QStringLiteral("open 38400,N,8,1 COM1")));
        QCOMPARE(r.define.ComBaud, 38400);
        QCOMPARE(r.define.DspBaud, 6);
        QCOMPARE(w.PicIFStat->lines().at(1), QStringLiteral("  38400bps"));
        QVERIFY(r.readIni().contains("Baud= 38400\r\n"));
    }

    void communicationChange_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("closingAt");
        QTest::newRow("ticked") << true << "9600,E,7,1";
        QTest::newRow("unticked") << false << "9600,N,8,1";
    }
    void communicationChange()
    {
        QFETCH(bool, ticked);
        AppRig r;
        r.loadWithLinkUp();
        unlock(r);
        FrmMain &w = r.w();
        w.CboCommunication->setCurrentIndex(3);
        w.ChkSetTerm->setChecked(ticked);
        w.CmdSend->click();
        QCOMPARE(r.port.written(), AppRig::framed("5034") + closingFrame());
        QCOMPARE(r.define.DspCommunication, 3);
        QFETCH(QString, closingAt);
        QCOMPARE(r.port.bytes.back().settings, closingAt);
        QCOMPARE(r.define.ComParity, ticked ? 1 : 0);
        QCOMPARE(r.define.ComBitLen, ticked ? 7 : 8);
        QCOMPARE(r.define.ComBaud, 9600);
        QCOMPARE(r.port.events.contains(QStringLiteral("close")), ticked);
    }

    void tickedBoxWithOtherItemsKeepsThePort()
    {
        AppRig r;
        r.loadWithLinkUp();
        unlock(r);
        r.w().CboINChr->setCurrentIndex(3);
        QVERIFY(r.w().ChkSetTerm->isChecked());
        r.w().CmdSend->click();
        QVERIFY(!r.port.events.contains(QStringLiteral("close")));
    }

    void failedReopenIsLeftToTheLinkMonitor()
    {
        AppRig r;
        r.loadWithLinkUp();
        unlock(r);
        r.w().CboBaud->setCurrentIndex(7);
        r.port.refuseOpen = QStringLiteral("gone");
        r.w().CmdSend->click();
        // The closing frame cannot go out on the closed port; the Send completes regardless.
        QCOMPARE(r.prompter.titles(), QStringList{"Send Error!!"});
        QCOMPARE(r.define.ComBaud, 19200);
        QVERIFY(r.readIni().contains("Baud= 19200\r\n"));
        r.clock.advance(0.5);
        QVERIFY(!r.shown(r.w().CmdSend));
        QVERIFY(r.shown(r.w().LineX1));
    }

    void lineResetsEmptyBoxAndSetting_data()
    {
        QTest::addColumn<int>("reset");
        QTest::addColumn<bool>("frameFails");
        QTest::newRow("upper") << 1 << false;
        QTest::newRow("upper, frame fails") << 1 << true;
        QTest::newRow("lower") << 2 << false;
        QTest::newRow("lower, frame fails") << 2 << true;
        QTest::newRow("all keeps the messages") << 0 << false;
    }
    void lineResetsEmptyBoxAndSetting()
    {
        QFETCH(int, reset);
        QFETCH(bool, frameFails);
        AppRig r;
        r.writeIni("PoleSet\r\nUpper=Top\r\nLower=Bottom\r\n");
        r.loadWithLinkUp();
        unlock(r);
        FrmMain &w = r.w();
        w.OptSet[1]->click();
        QVERIFY(w.OptReset[reset]->isEnabled());
        w.OptReset[reset]->click();
        if (reset == 0) // already the selected row: run its handler as a first choice would
            w.OptReset_Click(reset);
        QCOMPARE(r.status(), QStringLiteral(" Reset condition=%1").arg(reset));
        QVERIFY(!w.LinkStatusShown);
        r.port.stalled = frameFails;
        w.CmdSend->click();
        QCOMPARE(r.port.written().left(6),
                 frameFails ? QByteArray("\x0c") : AppRig::framed(resetItemPayload(reset)));
        QCOMPARE(r.prompter.boxes.size(), size_t(frameFails ? 1 : 0));
        QCOMPARE(w.TxtUpperLine->text(), reset == 1 ? QString() : QStringLiteral("Top"));
        QCOMPARE(r.define.DspUpperLine, reset == 1 ? QString() : QStringLiteral("Top"));
        QCOMPARE(w.TxtLowerLine->text(), reset == 2 ? QString() : QStringLiteral("Bottom"));
        QCOMPARE(r.define.DspLowerLine, reset == 2 ? QString() : QStringLiteral("Bottom"));
        QCOMPARE(r.readIni().contains("Upper="), reset != 1);
        QCOMPARE(r.readIni().contains("Lower="), reset != 2);
        // Emptying a message selected its row, seen on switching back.
        w.OptSet[0]->click();
        QCOMPARE(w.SetSelIndex, reset == 1 ? 3 : reset == 2 ? 4 : 2);
    }

    void panelSwitchKeepsTheRows()
    {
        AppRig r;
        r.loadWithLinkUp();
        unlock(r);
        FrmMain &w = r.w();
        w.CboCommunication->setCurrentIndex(2);
        QCOMPARE(w.SetSelIndex, 5);
        w.OptSet[1]->click();
        QVERIFY(!w.CboBaud->isEnabled() && !w.ChkSetTerm->isEnabled());
        for (QRadioButton *row : w.OptSetSel)
            QVERIFY(!row->isEnabled());
        for (QRadioButton *row : w.OptReset)
            QVERIFY(row->isEnabled());
        w.OptSet[0]->click();
        QCOMPARE(w.SetSelIndex, 5);
        QVERIFY(w.OptSetSel[5]->isChecked());
        QVERIFY(w.CboBaud->isEnabled() && w.ChkSetTerm->isEnabled());
        for (QRadioButton *row : w.OptReset)
            QVERIFY(!row->isEnabled());
    }

    void listHandlersSelectTheirRows()
    {
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        // Even while the rows are still locked.
        w.ChkSetTerm->setChecked(false);
        w.CboINChr->setCurrentIndex(4);
        QCOMPARE(w.SetSelIndex, 0);
        QVERIFY(!w.ChkSetTerm->isChecked());
        w.CboEmulation->setCurrentIndex(1);
        QCOMPARE(w.SetSelIndex, 2);
        QVERIFY(!w.ChkSetTerm->isChecked());
        w.TxtLowerLine->setText(QStringLiteral("a"));
        QCOMPARE(w.SetSelIndex, 4);
        w.CboBaud->setCurrentIndex(3);
        QCOMPARE(w.SetSelIndex, 6);
        QVERIFY(w.ChkSetTerm->isChecked());
        // The user picking the item already selected runs the handler as well.
        w.ChkSetTerm->setChecked(false);
        w.OptSetSel[2]->setChecked(true);
        emit w.CboCommunication->activated(w.CboCommunication->currentIndex());
        QCOMPARE(w.SetSelIndex, 5);
        QVERIFY(w.ChkSetTerm->isChecked());
        QCOMPARE(r.define.DspLowerLine, QString()); // nothing stored without a Send
    }

    void changeDuringTheFrameDoesNotReachTheSetting()
    {
        AppRig r;
        r.loadWithLinkUp();
        unlock(r);
        FrmMain &w = r.w();
        w.CboCodePage->setCurrentIndex(5);
        r.clock.scheduleIn(1.0, [&] { w.CboCodePage->setCurrentIndex(7); });
        w.CmdSend->click();
        QCOMPARE(r.port.written().left(6), AppRig::framed("5435"));
        QCOMPARE(r.define.DspCodePage, 5);
        QVERIFY(r.readIni().contains("CodePage= 5\r\n"));
    }

    void longAndForeignMessages()
    {
        AppRig r;
        r.loadWithLinkUp();
        unlock(r);
        FrmMain &w = r.w();
        const QString message = QString(197, u'm') + QStringLiteral("\u20ac");
        w.TxtUpperLine->setText(message);
        w.CmdSend->click();
        const QByteArray expected = "\x0c\x02\x05L1" + QByteArray(197, 'm') + '\x80' + '\x03';
        QCOMPARE(r.port.written(), expected + closingFrame());
        QCOMPARE(r.define.DspUpperLine, message);
        QVERIFY(r.readIni().contains("Upper=" + QByteArray(197, 'm') + "\x80\r\n"));
    }

    void savedFileMatchesLineByLine()
    {
        AppRig r;
        r.writeIni("PoleSet\r\nPort= 2\r\nBaud= 4800\r\nParity=E\r\nBitLen= 7\r\nINChar= 3\r\n"
                   "CodePage= 2\r\nUpper=  up = here\r\n");
        r.loadWithLinkUp();
        r.w().CmdSend->click();
        const QList<QByteArray> lines = r.readIni().split('\n');
        QVERIFY(QRegularExpression(
                    QStringLiteral("^PoleSet   \\d\\d-\\d\\d-\\d{4}  \\d\\d:\\d\\d:\\d\\d\r$"))
                    .match(QString::fromLatin1(lines[0]))
                    .hasMatch());
        QCOMPARE(lines.mid(1),
                 QList<QByteArray>({"Port= 2\r", "Baud= 4800\r", "Parity=E\r", "BitLen= 7\r",
                                    "INChar= 3\r", "CodePage= 2\r", "Emulation=T3150LC\r",
                                    "Upper=  up = here\r", ""}));
    }
};

QTEST_MAIN(TestSend)
#include "tst_send.moc"
