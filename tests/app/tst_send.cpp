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

    // Each row of "System Set" goes out in its own frame; only line settings tick the box, and
    // only a ticked line setting moves the port: the item frame at the old settings, the closing
    // frame at the new ones.
    void items_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text"); // for a list, the index chosen
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("closingAt");
        QTest::addColumn<QByteArray>("wire");
        const QString at = QStringLiteral("9600,N,8,1");
        QTest::newRow("Denmark II") << 0 << "10" << true << at << AppRig::framed("533A");
        QTest::newRow("long upper line in Windows-1252")
            << 3 << QString(197, u'm') + QStringLiteral("\u20ac") << true << at
            << "\x0c\x02\x05L1" + QByteArray(197, 'm') + "\x80\x03";
        QTest::newRow("lower line, raw")
            << 4 << "ABC" << true << at << QByteArray::fromHex("02054C3241424303");
        QTest::newRow("empty lower line")
            << 4 << "" << true << at << QByteArray::fromHex("02054C3203");
        QTest::newRow("38,400bps ticked")
            << 6 << "6" << true << "38400,N,8,1" << AppRig::framed("4236");
        QTest::newRow("8-N-1 again") << 5 << "0" << true << at << AppRig::framed("5031");
        QTest::newRow("E-7-1 unticked") << 5 << "3" << false << at << AppRig::framed("5034");
    }
    void items()
    {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(bool, ticked);
        QFETCH(QString, closingAt);
        QFETCH(QByteArray, wire);
        AppRig r;
        startUnlocked(r);
        FrmMain &w = r.w();
        w.ChkSetTerm->setChecked(false);
        if (row == 3 || row == 4) {
            QLineEdit *box = row == 3 ? w.TxtUpperLine : w.TxtLowerLine;
            box->setText(text + QStringLiteral("x")); // so that even an empty text is a change
            box->setText(text);
        } else { // a list picked again, which only says it was activated, selects its row too
            QComboBox *list = row == 0 ? w.CboINChr : row == 5 ? w.CboCommunication : w.CboBaud;
            const int index = text.toInt();
            list->currentIndex() == index ? emit list->activated(index)
                                          : list->setCurrentIndex(index);
        }
        QCOMPARE(w.SetSelIndex, row);
        QCOMPARE(w.ChkSetTerm->isChecked(), row >= 5);
        w.ChkSetTerm->setChecked(ticked);
        w.CmdSend->click();
        QCOMPARE(r.port.written(), wire + AppRig::closingFrame());
        QCOMPARE(r.port.bytes.front().settings.toString() + ' ' +
                     r.port.bytes.back().settings.toString(),
                 "9600,N,8,1 " + closingAt);
        QCOMPARE(r.port.events.filter("open"),
                 row >= 5 && ticked ? QStringList{"open " + closingAt + " COM1"} : QStringList());
        QVERIFY(!w.RawSend);
        const Define &d = r.define;
        const int index[] = {d.DspINChar, 0, 0, 0, 0, d.DspCommunication, d.DspBaud};
        const QString kept = row == 3   ? d.DspUpperLine
                             : row == 4 ? d.DspLowerLine
                                        : QString::number(index[row]);
        QCOMPARE(kept + ' ' + d.line().toString(), text + ' ' + closingAt);
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
        // A click on the selected panel changes nothing; the other one turns this one off.
        w.OptSet[0]->click();
        w.OptSet[1]->click();
        QVERIFY(!w.OptSet[0]->isChecked() && !w.CboBaud->isEnabled() &&
                !w.ChkSetTerm->isEnabled() && !w.OptSetSel[2]->isEnabled() &&
                w.OptReset[2]->isEnabled());
        w.OptReset[reset]->click();
        if (reset == 0) // already the selected row: run its handler as a first choice would
            w.OptReset_Click(reset);
        QVERIFY(w.OptSet[1]->isChecked());
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
        // Back on "System Set": the rows as they were, but emptying a message selected its row;
        // Send goes out on the set-up branch.
        w.OptSet[0]->click();
        QCOMPARE(w.SetSelIndex, reset == 0 ? 2 : reset + 2);
        QVERIFY(w.OptSetSel[w.SetSelIndex]->isChecked() && w.OptReset[reset]->isChecked() &&
                w.CboBaud->isEnabled() && w.ChkSetTerm->isEnabled() && !w.OptReset[2]->isEnabled());
        r.port.stalled = false;
        w.CmdSend->click();
        QVERIFY(r.port.written().endsWith(AppRig::closingFrame()));
    }

    void settingsThatCannotBeSaved()
    {
        AppRig r;
        QVERIFY(QDir().mkdir(r.iniPath())); // a directory where the file should be
        r.loadWithLinkUp();
        // The Send completes; one box afterwards says the settings were not saved, and why.
        const auto send = [&r] { r.w().CmdSend->click(), r.clock.advance(0.5); };
        send();
        QVERIFY(r.w().OptSet[1]->isEnabled() && QFileInfo(r.iniPath()).isDir());
        QCOMPARE(r.prompter.titles(), QStringList{"Settings Not Saved"});
        QVERIFY(r.prompter.boxes.front().warning &&
                r.prompter.boxes.front().informative.startsWith(
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
