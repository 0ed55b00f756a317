#include "AppRig.h"
#include "SetupCommands.h"

class TestSend : public QObject
{
    Q_OBJECT

    // The first Send (command emulation) unlocks the panels; most tests start after it.
    static void startUnlocked(AppRig &r)
    {
        r.loadWithLinkUp();
        r.send();
        QVERIFY(r.option("OptSet", 1)->isEnabled());
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
        r.control<QComboBox>(QStringLiteral("CboEmulation"))->setCurrentIndex(1);
        r.port.stalled = fails;
        r.send();
        QCOMPARE(r.port.written(),
                 fails ? QByteArray("\x0c") : AppRig::framed("4331") + AppRig::closingFrame());
        QCOMPARE(r.prompter.titles(), fails ? QStringList{"Send Error!!"} : QStringList());
        QCOMPARE(r.define.DspEmulation, int(!fails));
        // Exactly these controls unlock; the reset rows stay off until "Reset EEPROM" is chosen.
        const QStringList unlocked{
            "OptSetSel(0)", "OptSetSel(1)", "OptSetSel(3)", "OptSetSel(4)",     "OptSetSel(5)",
            "OptSetSel(6)", "CboINChr",     "CboCodePage",  "CboCommunication", "CboBaud",
            "TxtUpperLine", "TxtLowerLine", "OptSet(1)"};
        const QStringList menu{"MenuScroll", "MenuOverWrite"};
        QCOMPARE(r.enabledOf(unlocked + QStringList{"OptReset(0)", "OptReset(2)"}),
                 fails ? QStringList() : unlocked);
        QCOMPARE(r.shownOf(menu), fails ? QStringList() : menu);
        QCOMPARE(r.readIni().contains("Emulation=ESC/POS\r\n"), !fails);
        QVERIFY(!r.shown("LblSending"));
        r.clock.advance(0.5);
        QCOMPARE(r.look(), "up"); // the link monitor runs again
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
        QTest::newRow("Windows code page") << 1 << "9" << true << at << AppRig::framed("5439");
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
        auto *term = r.control<QCheckBox>(QStringLiteral("ChkSetTerm"));
        term->setChecked(false);
        const QString control =
            QStringList{"CboINChr",     "CboCodePage",      "CboEmulation", "TxtUpperLine",
                        "TxtLowerLine", "CboCommunication", "CboBaud"}[row];
        if (row == 3 || row == 4) {
            auto *box = r.control<QLineEdit>(control);
            box->setText(text + QStringLiteral("x")); // so that even an empty text is a change
            box->setText(text);
        } else { // a list picked again, which only says it was activated, selects its row too
            auto *list = r.control<QComboBox>(control);
            const int index = text.toInt();
            list->currentIndex() == index ? emit list->activated(index)
                                          : list->setCurrentIndex(index);
        }
        QVERIFY(r.option("OptSetSel", row)->isChecked());
        QCOMPARE(term->isChecked(), row >= 5);
        term->setChecked(ticked);
        r.send();
        QCOMPARE(r.port.written(), wire + AppRig::closingFrame());
        QCOMPARE(r.port.bytes.front().settings.toString() + ' ' +
                     r.port.bytes.back().settings.toString(),
                 "9600,N,8,1 " + closingAt);
        const Define &d = r.define;
        const int index[] = {d.DspINChar, d.DspCodePage, 0, 0, 0, d.DspCommunication, d.DspBaud};
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
        const QStringList panels{"CboBaud", "ChkSetTerm", "OptSetSel(2)", "OptReset(2)"};
        // A click on the selected panel changes nothing; the other one turns this one off.
        r.option("OptSet", 0)->click();
        r.option("OptSet", 1)->click();
        QVERIFY(!r.option("OptSet", 0)->isChecked());
        QCOMPARE(r.enabledOf(panels), QStringList{"OptReset(2)"});
        r.option("OptReset", reset)->click();
        if (reset == 0) // already the selected row: run its handler as a first choice would
            r.w().OptReset_Click(reset);
        QVERIFY(r.option("OptSet", 1)->isChecked());
        QCOMPARE(r.status(), QStringLiteral(" Reset condition=%1").arg(reset));
        r.port.stalled = frameFails;
        r.send();
        QCOMPARE(r.port.written(), frameFails ? QByteArray("\x0c")
                                              : QByteArray("\f\2\5\7") + char('1' + reset) + '\3');
        QCOMPARE(r.prompter.boxes.size(), size_t(frameFails));
        // The cleared message goes whatever the frame did, from the box and the file.
        const QString upper = reset == 1 ? "" : "Top", lower = reset == 2 ? "" : "Bottom";
        QCOMPARE(r.control<QLineEdit>(QStringLiteral("TxtUpperLine"))->text(), upper);
        QCOMPARE(r.control<QLineEdit>(QStringLiteral("TxtLowerLine"))->text(), lower);
        QCOMPARE(r.readIni().contains("Upper="), !upper.isEmpty());
        QCOMPARE(r.readIni().contains("Lower="), !lower.isEmpty());
        // Back on "System Set": the rows as they were, but emptying a message selected its row;
        // Send goes out on the set-up branch.
        r.option("OptSet", 0)->click();
        QVERIFY(r.option("OptSetSel", reset == 0 ? 2 : reset + 2)->isChecked());
        QVERIFY(r.option("OptReset", reset)->isChecked());
        QCOMPARE(r.enabledOf(panels), panels.mid(0, 3));
        r.port.stalled = false;
        r.send();
        QVERIFY(r.port.written().endsWith(AppRig::closingFrame()));
    }

    void settingsThatCannotBeSaved()
    {
        AppRig r;
        QVERIFY(QDir().mkdir(r.iniPath())); // a directory where the file should be
        r.loadWithLinkUp();
        // The Send completes; one box afterwards says the settings were not saved, and why.
        const auto send = [&r] { r.send(), r.clock.advance(0.5); };
        send();
        QVERIFY(r.option("OptSet", 1)->isEnabled());
        QVERIFY(QFileInfo(r.iniPath()).isDir());
        QCOMPARE(r.prompter.titles(), QStringList{"Settings Not Saved"});
        QVERIFY(r.prompter.boxes.front().warning);
        QVERIFY(r.prompter.boxes.front().informative.startsWith(
            r.iniPath() + ": it is not a regular file, so it is left alone.\n\n"));
        send(); // said once, not after every Send
        // A save that works in between: the next failure is said again.
        QVERIFY(QDir().rmdir(r.iniPath()));
        send();
        QVERIFY(QFileInfo(r.iniPath()).isFile());
        QVERIFY(QFile::remove(r.iniPath()));
        QVERIFY(QDir().mkdir(r.iniPath()));
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
        reset < 0 ? r.control<QComboBox>(QStringLiteral("CboBaud"))->setCurrentIndex(6)
                  : r.option("OptSet", 1)->click();
        r.port.stalled = stalled;
        r.clock.scheduleIn(closeAt, [&] { r.w().close(); });
        r.send();
        QVERIFY(r.w().unloaded());
        QVERIFY(r.prompter.boxes.empty());
        QCOMPARE(r.port.written(), wire);
        QCOMPARE(r.port.events.filter("open").size(), int(closeAt > 2));
        QCOMPARE(QFile::exists(r.iniPath()), !stalled);
        const QByteArray file = r.readIni();
        QCOMPARE(file.contains("\r\nBaud= 38400\r\n"), !stalled && reset < 0);
        QCOMPARE(file.contains("\r\nUpper=Top\r\n"), !stalled);
    }
};

QTEST_MAIN(TestSend)
#include "tst_send.moc"
