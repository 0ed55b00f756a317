#include "AppRig.h"
#include "UiMetrics.h"
#include "WindowPlacement.h"

using Ints = QList<int>;

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    // Where the controls stand (in twips), their type size, whether the window shows them after
    // start-up, and what a screen reader calls them.
    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("heard");
        QTest::addColumn<int>("role");
        QTest::addColumn<double>("points"); // negative: bold
        QTest::addColumn<bool>("shown");
        const auto row = [](const char *name, QRect place, const char *heard, int role,
                            double points = 11.25, bool shown = true) {
            QTest::newRow(name) << QString::fromLatin1(name) << place << QString(heard) << role
                                << points << shown;
        };
        using A = QAccessible;
        row("FraPoleSet", {240, 120, 8895, 3015}, "System Set", A::Grouping);
        row("OptSet(0)", {600, 120, 1560, 330}, "System Set", A::RadioButton);
        // A list says its row and its item (Qt's AT-SPI bridge carries the name alone).
        row("CboINChr", {480, 690, 3240, 390}, "International Character:  U.S.A", A::ComboBox);
        row("CboCodePage", {480, 1470, 3240, 390}, "Code Page:  PC437(USA,Std-EUR)", A::ComboBox);
        row("CboEmulation", {480, 2250, 3240, 390}, "Command Emulation:  T3150-LC", A::ComboBox);
        row("TxtUpperLine", {4440, 690, 4200, 390}, "Upper line message", A::EditableText);
        row("TxtLowerLine", {4440, 1470, 4200, 390}, "Lower line message", A::EditableText);
        row("OptSetSel(5)", {4200, 1920, 2280, 330}, "Communication", A::RadioButton);
        row("CboCommunication", {4440, 2250, 1800, 390}, "Communication:  N-8-1", A::ComboBox);
        row("CboBaud", {6840, 2250, 1800, 390}, "Baud rate:   9,600bps", A::ComboBox);
        row("FraResROM", {240, 3360, 4095, 1935}, "Reset EEPROM", A::Grouping);
        row("OptSet(1)", {480, 3360, 1920, 330}, "Reset EEPROM", A::RadioButton);
        row("ChkSetTerm", {4680, 3360, 4440, 330}, "Set Communication after Sent data",
            A::CheckBox);
        row("PicIFStat", {4560, 4320, 1335, 975}, "COM1: 9600bps N - 8 - 1", A::StaticText);
        // The picture row is one picture; AppRig::look() follows its name. Its parts are not
        // there for a reader (no name, no role).
        row("ImgPole", {6120, 4320, 720, 840}, "Link to the display: down", A::Graphic);
        row("ImgPC", {8280, 4320, 720, 915}, "", 0);
        row("ImgArrow(2)", {6960, 4920, 240, 240}, "", 0, 11.25, false);
        row("CmdSend", {7080, 4200, 1095, 615}, "Send", A::Button, 14.25, false);
        row("LblSending", {6240, 3840, 2775, 375}, "Now Sending", A::StaticText, -14.25, false);
        row("LblMessage", {0, 5520, 9375, 375}, " ", A::StatusBar);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QFETCH(QString, heard);
        QFETCH(int, role);
        QFETCH(double, points);
        QFETCH(bool, shown);
        AppRig r;
        QVERIFY(r.load());
        auto *control = r.w().findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(),
                 twipsRect(place.x(), place.y(), place.width(), place.height()));
        QCOMPARE(control->font().family() + QString::number(control->font().pointSizeF()),
                 "Century" + QString::number(qAbs(points)));
        QCOMPARE(control->font().bold(), points < 0);
        QCOMPARE(r.shown(control), shown);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control);
        const QAccessibleInterface *parent = iface->isValid() ? iface->parent() : nullptr;
        QCOMPARE(parent ? iface->text(QAccessible::Name) : QString(), heard);
        QCOMPARE(parent ? int(iface->role()) : 0, role);
        QCOMPARE(!parent || parent->indexOfChild(iface) >= 0, true);
        // A fixed window of 628 x 392 pixels under its menu bar; lists show all their items.
        QCOMPARE(r.w().windowTitle(), QStringLiteral("Velodisp T3150-LC"));
        QCOMPARE(r.w().centralWidget()->size(), QSize(628, 392));
        r.w().adjustSize();
        QCOMPARE(r.w().minimumSize(), r.w().maximumSize());
        QVERIFY(!(r.w().windowFlags() & Qt::WindowMaximizeButtonHint));
        for (QComboBox *list : r.w().findChildren<QComboBox *>())
            QCOMPARE(list->maxVisibleItems(), list->count());
    }

    // The window's frame on the screen's work area: centred when it fits, and where it does not,
    // along that side from the top or left edge.
    void placement_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("placed");
        const QRect screen(0, 0, 1024, 768);
        QTest::newRow("fits") << QRect(0, 0, 630, 432) << screen << QRect(197, 168, 630, 432);
        QTest::newRow("too tall") << QRect(0, 0, 660, 940) << QRect(0, 0, 683, 384)
                                  << QRect(12, 0, 660, 940);
        QTest::newRow("too big, work area off the origin")
            << QRect(0, 0, 900, 700) << QRect(100, 30, 700, 570) << QRect(100, 30, 900, 700);
        QTest::newRow("dialog over a window at the edge")
            << QRect(0, 0, 360, 180) << QRect(-200, 700, 630, 432) << QRect(0, 588, 360, 180);
    }
    void placement()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, area);
        QFETCH(QRect, placed);
        const bool dialog = area.top() == 700;
        QCOMPARE(placedFrame(frame, area, dialog ? QRect(0, 0, 1024, 768) : area), placed);
    }

    void startUp_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Ints>("lists"); // INChr, CodePage, Emulation, Communication, Baud
        QTest::addColumn<QStringList>("panel");
        QTest::newRow("no file") << QByteArray() << Ints{0, 0, 0, 0, 0}
                                 << QStringList{"  COM1:", "  9600bps", "  N - 8 - 1"};
        QTest::newRow("full file")
            << QByteArray("PoleSet   12-06-2026  10:00:00\r\nPort= 4\r\nBaud= 38400\r\nParity=O\r\n"
                          "BitLen= 7\r\nINChar= 10\r\nCodePage= 9\r\nEmulation=ESC/POS\r\n"
                          "Upper=  Hello = World\r\nLower=Bye\r\n")
            << Ints{10, 9, 1, 5, 6} << QStringList{"  COM4:", "  38400bps", "  O - 7 - 1"};
        QTest::newRow("out of range values")
            << QByteArray("poleset\r\nPort= 300\r\nBaud= 99999999999\r\nINChar= -1\r\n"
                          "CodePage= 77\r\nBitLen= 7\r\nParity=E\r\n")
            << Ints{0, 0, 0, 3, 0} << QStringList{"  COM1:", "  9600bps", "  E - 7 - 1"};
    }
    void startUp()
    {
        QFETCH(QByteArray, file);
        QFETCH(Ints, lists);
        QFETCH(QStringList, panel);
        AppRig r(file);
        r.window = std::make_unique<FrmMain>(r.define, r.port, r.clock, r.prompter);
        QVERIFY(r.w().Form_Load());
        FrmMain &w = r.w();
        QCOMPARE(Ints({w.CboINChr->currentIndex(), w.CboCodePage->currentIndex(),
                       w.CboEmulation->currentIndex(), w.CboCommunication->currentIndex(),
                       w.CboBaud->currentIndex()}),
                 lists);
        QCOMPARE(w.PicIFStat->lines(), panel);
        const QString port = panel[1].trimmed().chopped(3) + ',' + panel[2].at(2) + ',' +
                             panel[2].at(6) + ",1 " + panel[0].trimmed().chopped(1);
        QCOMPARE(r.port.events, QStringList({"choose " + port.section(' ', 1), "open " + port,
                                             "clear in", "clear out"}));
        // Filling the lists selected their rows; start-up ends on the emulation row, ticked.
        QVERIFY(w.OptSetSel[2]->isChecked() && w.ChkSetTerm->isChecked() &&
                w.OptReset[0]->isChecked());
        QCOMPARE(w.SetSelIndex + 10 * w.ResetSelIndex, 2);
        QVERIFY(r.status() == " " && w.TmrStat->isEnabled() && w.TmrStat->interval() == 500);
        QCOMPARE(r.readIni(), file); // reading never writes
        // Locked: inside the set-up panel only the emulation row and its list are usable.
        for (QWidget *child : w.FraPoleSet->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QCOMPARE(child->isEnabled(), child == w.OptSetSel[2] || child == w.CboEmulation);
        QVERIFY(r.shown(w.LineX1) && r.shown(w.LineX2) && !r.shown(w.CmdSend));
        QStringList menu;
        for (QAction *top : w.menuBar()->actions()) {
            menu << top->text();
            for (QAction *item : top->menu()->actions())
                menu << (!item->isVisible() ? QString() : item->isSeparator() ? "-" : item->text());
        }
        menu.removeAll(QString());
        QCOMPARE(menu, QStringList({"&File", "Interface &Set", "-", "&Test", "&Run Demo",
                                    "Init &Display", "-", "E&xit", "&Help", "&Version"}));
    }

    void portErrorAtStartUp()
    {
        AppRig r;
        r.port.refuseOpen = QStringLiteral("Permission denied");
        QVERIFY(!r.load());
        QCOMPARE(r.prompter.boxes.size(), size_t(1));
        const FakePrompter::Box &box = r.prompter.boxes.front();
        // The reason, then what the machine offers instead.
        QVERIFY(box.warning && box.informative.startsWith(QStringLiteral("Permission denied\n\n")));
        QCOMPARE(box.title + box.text, QStringLiteral("Port Error!Port is already opened."));
        QVERIFY(!r.w().TmrStat->isEnabled() && !QFile::exists(r.iniPath()));
    }

    void exit_data()
    {
        QTest::addColumn<bool>("linkUp");
        QTest::addColumn<bool>("farewellFails");
        QTest::addColumn<bool>("twice"); // closed again while the window lingers
        QTest::newRow("display disconnected") << false << false << false;
        QTest::newRow("display connected") << true << false << false;
        QTest::newRow("farewell fails") << true << true << false;
        QTest::newRow("closed again while it lingers") << true << false << true;
    }
    void exit()
    {
        QFETCH(bool, linkUp);
        QFETCH(bool, farewellFails);
        QFETCH(bool, twice);
        AppRig r("PoleSet\r\nPort= 2\r\n");
        r.port.dsr = linkUp;
        r.loadWithLinkUp();
        r.define.ComBaud = 19200; // as if changed through Interface Set: not written at exit
        r.port.stalled = farewellFails;
        const double start = r.clock.now();
        if (twice)
            r.clock.scheduleIn(3.5, [&] { r.w().close(); });
        r.w().MenuEnd->trigger();
        QVERIFY(r.w().unloaded());
        const QByteArray farewell = QByteArray::fromHex("0C02051B40") + "End of Set!!" + '\x03';
        QCOMPARE(r.port.written(), !linkUp ? QByteArray() : farewell.left(farewellFails ? 1 : 18));
        QCOMPARE(r.prompter.titles(), farewellFails ? QStringList{"Send Error!!"} : QStringList());
        QCOMPARE(r.port.events, QStringList({"rts 0", "dtr 0", "clear in", "clear out", "close"}));
        QCOMPARE(r.status(), linkUp ? " Send Data: STX 05 1B40456E64206F66205365742121 ETX"
                                    : " End of Customer Display Set");
        // The farewell's own time, then one second of the link-down look.
        QVERIFY(qAbs(r.clock.now() - start - (linkUp ? (farewellFails ? 5.0 : 3.0) : 1.0)) < 0.01);
        QVERIFY(r.w().TmrStat->interval() == 0 && r.w().PicIFStat->lines().isEmpty());
        QVERIFY(!r.shown(r.w().CmdSend) && r.shown(r.w().LineX1) && r.shown(r.w().LineX2) &&
                r.shownArrow() == -1);
        QCOMPARE(r.readIni(), QByteArray("PoleSet\r\nPort= 2\r\n"));
    }

    void keyboard()
    {
        AppRig r("PoleSet\r\nLower=" + QByteArray(250, 'm') + "\r\n");
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Enter in any control presses Send while it is shown.
        QTest::keyClick(w.CboEmulation, Qt::Key_Return);
        QCOMPARE(r.port.written(), AppRig::framed("4330") + AppRig::closingFrame());
        r.port.dsr = false;
        r.clock.advance(0.5);
        QTest::keyClick(w.OptSet[0], Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(r.port.bytes.size(), size_t(17)); // nothing more
        r.port.dsr = true;
        r.clock.advance(0.5);
        // Tab stops at the selected button of each option group; the arrows move in the group.
        const auto tabCycle = [](QWidget *from) {
            QList<QWidget *> seen{from};
            from->setFocus();
            while (seen.size() < 30 && (seen.size() == 1 || seen.back() != from)) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen << QApplication::focusWidget();
            }
            return seen.mid(0, seen.size() - 1);
        };
        w.CboBaud->setCurrentIndex(3);
        QCOMPARE(tabCycle(w.OptSet[0]),
                 (QList<QWidget *>{w.OptSet[0], w.CmdSend, w.CboINChr, w.CboCodePage,
                                   w.TxtUpperLine, w.TxtLowerLine, w.CboEmulation,
                                   w.CboCommunication, w.CboBaud, w.ChkSetTerm, w.OptSetSel[6]}));
        QTest::keyClick(w.OptSet[0], Qt::Key_Down);
        QVERIFY(w.OptSet[1]->isChecked() && w.OptSet[1]->hasFocus());
        QCOMPARE(tabCycle(w.OptSet[1]), (QList<QWidget *>{w.OptSet[1], w.OptReset[0], w.CmdSend}));
        w.OptReset[0]->setFocus();
        QTest::keyClick(w.OptReset[0], Qt::Key_Down);
        QCOMPARE(tabCycle(w.OptSet[1]), (QList<QWidget *>{w.OptSet[1], w.OptReset[1], w.CmdSend}));
        // Typing: control characters and tabs are refused, the length is limited.
        QLineEdit *box = w.TxtUpperLine;
        const auto type = [&box](const QString &key, Qt::Key code = Qt::Key_unknown) {
            box->setEnabled(true);
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, key);
            QApplication::sendEvent(box, &press);
        };
        for (const char *key : {"A", "\x01", " ", "\x7f", "C"})
            type(QString::fromLatin1(key));
        box->insert(QStringLiteral("x\ty")); // a paste holding a tab is refused whole
        QCOMPARE(box->text(), QStringLiteral("A C"));
        box->setCursorPosition(1);
        box->insert(QString(300, u'z')); // a paste keeps what fits
        QCOMPARE(box->text(), "A" + QString(195, u'z') + " C");
        type(QStringLiteral("x"));
        QCOMPARE(box->text().size(), 198);
        // A longer message from the file stays whole: typing adds nothing, deleting works, and
        // it goes out and is saved whole.
        box = w.TxtLowerLine;
        type(QStringLiteral("x"));
        QCOMPARE(box->text(), QString(250, u'm'));
        type(QString(), Qt::Key_Backspace);
        const QByteArray lower(249, 'm');
        QCOMPARE(box->text(), lower);
        w.OptSet[0]->click();
        w.OptSetSel[4]->click();
        w.CmdSend->click();
        QVERIFY(r.port.written().endsWith("\x02\x05L2" + lower + '\x03' + AppRig::closingFrame()));
        QVERIFY(r.readIni().contains("\r\nLower=" + lower + "\r\n"));
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
