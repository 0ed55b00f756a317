#include "AppRig.h"
#include "SetupCommands.h"

class TestSend : public QObject
{
    Q_OBJECT

    // The first Send (command emulation) unlocks the panels; most tests start after it.
    static void startUnlocked(AppRig &r)
    {
        r.loadWithLinkUp();
        r.w().CmdSend->click();
        QVERIFY(r.w().OptSet[1]->isEnabled());
        r.port.forget();
        r.clock.advance(0.5);
    }

private slots:
    void firstSend_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("sent") << false;
        QTest::newRow("frame fails") << true;
    }
    void firstSend()
    {
        QFETCH(bool, fails);
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        w.CboEmulation->setCurrentIndex(1);
        r.port.stalled = fails;
        w.CmdSend->click();
        QCOMPARE(r.port.written(),
                 fails ? QByteArray("\x0c") : AppRig::framed("4331") + AppRig::closingFrame());
        QCOMPARE(r.prompter.titles(), fails ? QStringList{"Send Error!!"} : QStringList());
        QCOMPARE(r.define.DspEmulation, int(!fails));
        // Exactly these controls unlock; the reset rows stay off until "Reset EEPROM" is chosen.
        for (QWidget *control : std::initializer_list<QWidget *>{
                 w.OptSetSel[0], w.OptSetSel[1], w.OptSetSel[3], w.OptSetSel[4], w.OptSetSel[5],
                 w.OptSetSel[6], w.CboINChr, w.CboCodePage, w.CboCommunication, w.CboBaud,
                 w.TxtUpperLine, w.TxtLowerLine, w.OptSet[1]})
            QCOMPARE(control->isEnabled(), !fails);
        QVERIFY(!w.OptReset[0]->isEnabled() && !w.OptReset[2]->isEnabled());
        QCOMPARE(w.MenuScroll->isVisible() && w.MenuOverWrite->isVisible(), !fails);
        QCOMPARE(r.readIni().contains("Emulation=ESC/POS\r\n"), !fails);
        QVERIFY(!w.RawSend && w.TmrStat->isEnabled() && !r.shown(w.LblSending));
    }

    void items_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("Denmark II") << 0 << "10" << AppRig::framed("533A");
        QTest::newRow("long upper line in Windows-1252")
            << 3 << QString(197, u'm') + QStringLiteral("\u20ac")
            << "\x0c\x02\x05L1" + QByteArray(197, 'm') + "\x80\x03";
        QTest::newRow("lower line, raw") << 4 << "ABC" << QByteArray::fromHex("02054C3241424303");
        QTest::newRow("empty lower line") << 4 << "" << QByteArray::fromHex("02054C3203");
    }
    void items()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        AppRig r;
        startUnlocked(r);
        FrmMain &w = r.w();
        if (row == 0) {
            w.CboINChr->setCurrentIndex(text.toInt());
        } else {
            QLineEdit *box = row == 3 ? w.TxtUpperLine : w.TxtLowerLine;
            box->setText(text + QStringLiteral("x")); // so that even an empty text is a change
            box->setText(text);
        }
        QCOMPARE(w.SetSelIndex, row);
        QVERIFY(w.ChkSetTerm->isChecked()); // ticked, but only line settings move the port
        w.CmdSend->click();
        QCOMPARE(r.port.written(), wire + AppRig::closingFrame());
        QVERIFY(!w.RawSend && !r.port.events.contains(QStringLiteral("close")));
        QCOMPARE(row == 0   ? QString::number(r.define.DspINChar)
                 : row == 3 ? r.define.DspUpperLine
                            : r.define.DspLowerLine,
                 text);
    }

    void storedMessageLongerThanTheTypingLimit()
    {
        const QByteArray upper(250, 'u');
        AppRig r("PoleSet\r\nUpper=" + upper + "\r\n");
        startUnlocked(r);
        r.w().OptSetSel[3]->click();
        r.w().CmdSend->click();
        QCOMPARE(r.port.written(),
                 AppRig::framed("4C31" + upper.toHex().toUpper()) + AppRig::closingFrame());
        QVERIFY(r.readIni().contains("\r\nUpper=" + upper + "\r\n"));
    }

    void lineSettingsMoveThePort_data()
    {
        QTest::addColumn<bool>("baud");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("closingAt");
        QTest::newRow("38,400bps ticked") << true << 6 << true << "38400,N,8,1";
        QTest::newRow("E-7-1 ticked") << false << 3 << true << "9600,E,7,1";
        QTest::newRow("E-7-1 unticked") << false << 3 << false << "9600,N,8,1";
    }
    void lineSettingsMoveThePort()
    {
        QFETCH(bool, baud);
        QFETCH(int, index);
        QFETCH(bool, ticked);
        QFETCH(QString, closingAt);
        AppRig r;
        startUnlocked(r);
        FrmMain &w = r.w();
        w.ChkSetTerm->setChecked(false);
        (baud ? w.CboBaud : w.CboCommunication)->setCurrentIndex(index);
        QVERIFY(w.ChkSetTerm->isChecked()); // picking a line setting ticks the box
        w.ChkSetTerm->setChecked(ticked);
        w.CmdSend->click();
        const QString payload =
            QStringLiteral("%1%2").arg(baud ? "42" : "50").arg(0x30 + index + !baud, 0, 16);
        QCOMPARE(r.port.written(), AppRig::framed(payload) + AppRig::closingFrame());
        // The item frame at the old settings, the closing frame at the new ones.
        QCOMPARE(r.port.bytes.front().settings + ' ' + r.port.bytes.back().settings,
                 "9600,N,8,1 " + closingAt);
        QCOMPARE(r.port.events.contains("open " + closingAt + " COM1"), ticked);
        QCOMPARE(baud ? r.define.DspBaud : r.define.DspCommunication, index);
        QCOMPARE(settingsString(r.define), closingAt);
    }

    void resets_data()
    {
        QTest::addColumn<int>("reset");
        QTest::addColumn<bool>("frameFails");
        QTest::newRow("upper, frame fails") << 1 << true;
        QTest::newRow("lower") << 2 << false;
        QTest::newRow("all keeps the messages") << 0 << false;
    }
    void resets()
    {
        QFETCH(int, reset);
        QFETCH(bool, frameFails);
        AppRig r("PoleSet\r\nUpper=Top\r\nLower=Bottom\r\n");
        startUnlocked(r);
        FrmMain &w = r.w();
        w.OptSet[1]->click();
        w.OptReset[reset]->click();
        if (reset == 0) // already the selected row: run its handler as a first choice would
            w.OptReset_Click(reset);
        QCOMPARE(r.status(), QStringLiteral(" Reset condition=%1").arg(reset));
        r.port.stalled = frameFails;
        w.CmdSend->click();
        QCOMPARE(r.port.written(), frameFails ? QByteArray("\x0c")
                                              : QByteArray("\f\2\5\7") + char('1' + reset) + '\3');
        QCOMPARE(r.prompter.boxes.size(), size_t(frameFails));
        // The cleared message goes whatever the frame did, from the box, the setting and the file.
        const QString upper = reset == 1 ? "" : "Top", lower = reset == 2 ? "" : "Bottom";
        QCOMPARE(QStringList({w.TxtUpperLine->text(), r.define.DspUpperLine, w.TxtLowerLine->text(),
                              r.define.DspLowerLine}),
                 QStringList({upper, upper, lower, lower}));
        QCOMPARE(r.readIni().contains("Upper=") + 2 * r.readIni().contains("Lower="),
                 !upper.isEmpty() + 2 * !lower.isEmpty());
        // Emptying a message selected its row, seen on switching back.
        w.OptSet[0]->click();
        QCOMPARE(w.SetSelIndex, reset == 0 ? 2 : reset + 2);
    }

    void panelsSwitch()
    {
        AppRig r;
        startUnlocked(r);
        FrmMain &w = r.w();
        // A list selects its row, even the item already chosen; only line settings tick the box.
        w.ChkSetTerm->setChecked(false);
        w.CboINChr->setCurrentIndex(4);
        QVERIFY(w.SetSelIndex == 0 && !w.ChkSetTerm->isChecked());
        emit w.CboCommunication->activated(w.CboCommunication->currentIndex());
        QVERIFY(w.SetSelIndex == 5 && w.ChkSetTerm->isChecked());
        // A click on the selected option of a group changes nothing.
        w.OptSet[0]->click();
        QVERIFY(w.OptSet[0]->isChecked() && w.OptSetSel[5]->isChecked());
        w.OptSet[1]->click();
        QVERIFY(!w.OptSet[0]->isChecked() && !w.CboBaud->isEnabled() &&
                !w.ChkSetTerm->isEnabled() && !w.OptSetSel[5]->isEnabled());
        QVERIFY(w.OptReset[2]->isEnabled());
        w.OptReset[0]->click();
        QVERIFY(w.OptReset[0]->isChecked() && w.OptSet[1]->isChecked());
        // Back on "System Set": the rows as they were, and Send on the set-up branch.
        w.OptSet[0]->click();
        QVERIFY(w.SetSelIndex == 5 && w.OptSetSel[5]->isChecked() && w.OptReset[0]->isChecked());
        QVERIFY(w.CboBaud->isEnabled() && w.ChkSetTerm->isEnabled() && !w.OptReset[2]->isEnabled());
        w.CmdSend->click();
        QCOMPARE(r.port.written().left(6), AppRig::framed("5031"));
    }

    void settingsThatCannotBeSaved()
    {
        AppRig r;
        QVERIFY(QDir().mkdir(r.iniPath())); // a directory where the file should be
        r.loadWithLinkUp();
        // The Send completes; one box afterwards says the settings were not saved, and why.
        const auto send = [&r] {
            r.w().CmdSend->click();
            r.clock.advance(0.5);
        };
        send();
        QVERIFY(r.w().OptSet[1]->isEnabled() && QFileInfo(r.iniPath()).isDir());
        QVERIFY(r.prompter.boxes.size() == 1 && r.prompter.boxes.front().warning);
        QCOMPARE(r.prompter.boxes.front().title, QStringLiteral("Settings Not Saved"));
        QVERIFY(r.prompter.boxes.front().informative.startsWith(
            r.iniPath() + ": it is not a regular file, so it is left alone.\n\n"));
        send(); // said once, not after every Send
        // A save that works in between: the next failure is said again.
        QVERIFY(QDir().rmdir(r.iniPath()));
        send();
        QVERIFY(QFileInfo(r.iniPath()).isFile());
        QVERIFY(QFile::remove(r.iniPath()) && QDir().mkdir(r.iniPath()));
        send();
        QCOMPARE(r.prompter.boxes.size(), size_t(2));
    }

    void closedDuringTheSend_data()
    {
        QTest::addColumn<int>("reset"); // -1: " 38,400bps", ticked
        QTest::addColumn<double>("closeAt");
        QTest::addColumn<bool>("stalled");
        QTest::addColumn<QByteArray>("wire");
        const QByteArray item = AppRig::framed("4236");
        QTest::newRow("item frame's wait") << -1 << 1.0 << false << item;
        QTest::newRow("closing frame's wait")
            << -1 << 3.0 << false << item + AppRig::closingFrame();
        QTest::newRow("item frame cut short") << -1 << 1.0 << true << QByteArray("\x0c");
        QTest::newRow("reset frame's wait") << 0 << 1.0 << false << QByteArray("\f\2\5\a1\3");
    }
    void closedDuringTheSend()
    {
        // Nothing more goes out, no box, no port opened; the file says what the display holds.
        QFETCH(int, reset);
        QFETCH(double, closeAt);
        QFETCH(bool, stalled);
        QFETCH(QByteArray, wire);
        AppRig r("PoleSet\r\nUpper=Top\r\n");
        startUnlocked(r);
        QVERIFY(QFile::remove(r.iniPath()));
        reset < 0 ? r.w().CboBaud->setCurrentIndex(6) : r.w().OptSet[1]->click();
        r.port.stalled = stalled;
        r.clock.scheduleIn(closeAt, [&] { r.w().close(); });
        r.w().CmdSend->click();
        QVERIFY(r.w().unloaded() && r.prompter.boxes.empty() && r.port.written() == wire);
        QCOMPARE(r.port.events.filter("open").size(), int(closeAt > 2));
        QCOMPARE(QFile::exists(r.iniPath()), !stalled);
        const QByteArray file = r.readIni();
        QCOMPARE(file.contains("\r\nBaud= 38400\r\n") && file.contains("\r\nUpper=Top\r\n"),
                 !stalled && reset < 0);
    }
};

QTEST_MAIN(TestSend)
#include "tst_send.moc"
