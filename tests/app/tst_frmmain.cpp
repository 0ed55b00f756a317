#include "AppRig.h"
#include "WindowPlacement.h"

using Ints = QList<int>;

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    // Whether the window shows each control after start-up, and what a screen reader calls it
    // (a caption names an option or a button by itself).
    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("heard");
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("shown");
        const auto row = [](const char *name, const char *heard, int role, bool shown = true) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString(heard) << role << shown;
        };
        using A = QAccessible;
        // The lists and the picture row are checked over AT-SPI (tests/a11y).
        row("TxtUpperLine", "Upper line message", A::EditableText);
        row("PicIFStat", "COM1: 9600bps N - 8 - 1", A::StaticText);
        // The picture row's parts are not there for a reader (no name, no role).
        row("ImgArrow(2)", "", 0, false);
        row("LblMessage", " ", A::StatusBar);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QString, heard);
        QFETCH(int, role);
        QFETCH(bool, shown);
        AppRig r;
        QVERIFY(r.load());
        QWidget *control = r.control(name);
        QCOMPARE(r.shown(control), shown);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control);
        const QAccessibleInterface *parent = iface->isValid() ? iface->parent() : nullptr;
        QCOMPARE(parent ? iface->text(QAccessible::Name) : QString(), heard);
        QCOMPARE(parent ? int(iface->role()) : 0, role);
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
        Ints shownLists;
        for (const char *name :
             {"CboINChr", "CboCodePage", "CboEmulation", "CboCommunication", "CboBaud"})
            shownLists << r.control<QComboBox>(QLatin1String(name))->currentIndex();
        QCOMPARE(shownLists, lists);
        QCOMPARE(r.control<PictureBox>(QStringLiteral("PicIFStat"))->lines(), panel);
        const QString port = panel[1].trimmed().chopped(3) + ',' + panel[2].at(2) + ',' +
                             panel[2].at(6) + ",1 " + panel[0].trimmed().chopped(1);
        QCOMPARE(r.port.events, QStringList({"choose " + port.section(' ', 1), "open " + port,
                                             "clear in", "clear out"}));
        // Filling the lists selected their rows; start-up ends on the emulation row, ticked.
        QVERIFY(r.option("OptSetSel", 2)->isChecked());
        QVERIFY(r.control<QCheckBox>(QStringLiteral("ChkSetTerm"))->isChecked());
        QVERIFY(r.option("OptReset", 0)->isChecked());
        QCOMPARE(r.status(), QStringLiteral(" "));
        QCOMPARE(r.readIni(), file); // reading never writes
        // Locked: inside the set-up panel only the emulation row and its list are usable.
        QStringList inPanel;
        const auto *frame = r.control(QStringLiteral("FraPoleSet"));
        for (QWidget *child : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            inPanel << child->objectName();
        QCOMPARE(r.enabledOf(inPanel), QStringList({"OptSetSel(2)", "CboEmulation"}));
        QCOMPARE(r.shownOf({"LineX1", "LineX2", "CmdSend"}), QStringList({"LineX1", "LineX2"}));
        QCOMPARE(r.shownOf({"MenuIFSet", "MenuTest", "MenuDemo", "MenuStopDemo", "MenuInit",
                            "MenuScroll", "MenuOverWrite", "MenuEnd", "MenuHVersion"}),
                 QStringList(
                     {"MenuIFSet", "MenuTest", "MenuDemo", "MenuInit", "MenuEnd", "MenuHVersion"}));
        r.clock.advance(0.5); // the link monitor runs
        QCOMPARE(r.look(), "up");
    }

    void portErrorAtStartUp()
    {
        AppRig r;
        r.port.refuseOpen = QStringLiteral("Permission denied");
        QVERIFY(!r.load());
        QCOMPARE(r.prompter.boxes.size(), size_t(1));
        const FakePrompter::Box &box = r.prompter.boxes.front();
        // The reason, then what the machine offers instead.
        QVERIFY(box.warning);
        QVERIFY(box.informative.startsWith(QStringLiteral("Permission denied\n\n")));
        QCOMPARE(box.title, QStringLiteral("Port Error!"));
        QCOMPARE(box.text, QStringLiteral("Port is already opened."));
        QVERIFY(!QFile::exists(r.iniPath()));
        r.clock.advance(1.0); // no link monitor: no try to open the port again
        QCOMPARE(r.port.events, QStringList());
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
            r.clock.scheduleIn(3.5, [&] { QVERIFY(!r.w().close()); });
        r.action("MenuEnd")->trigger();
        QVERIFY(r.w().unloaded());
        const QByteArray farewell = QByteArray::fromHex("0C02051B40") + "End of Set!!" + '\x03';
        QCOMPARE(r.port.written(), !linkUp ? QByteArray() : farewell.left(farewellFails ? 1 : 18));
        QCOMPARE(r.prompter.titles(), farewellFails ? QStringList{"Send Error!!"} : QStringList());
        // The farewell's own time, then one second of the link-down look.
        QVERIFY(qAbs(r.clock.now() - start - (linkUp ? (farewellFails ? 5.0 : 3.0) : 1.0)) < 0.01);
        r.clock.advance(1.0); // the link monitor has stopped: nothing opens the port again
        QCOMPARE(r.port.events, QStringList({"rts 0", "dtr 0", "clear in", "clear out", "close"}));
        QCOMPARE(r.status(), linkUp ? " Send Data: STX 05 1B40456E64206F66205365742121 ETX"
                                    : " End of Customer Display Set");
        QVERIFY(r.control<PictureBox>(QStringLiteral("PicIFStat"))->lines().isEmpty());
        QCOMPARE(
            r.shownOf({"CmdSend", "LineX1", "LineX2", "ImgArrow(0)", "ImgArrow(1)", "ImgArrow(2)"}),
            QStringList({"LineX1", "LineX2"}));
        QCOMPARE(r.readIni(), QByteArray("PoleSet\r\nPort= 2\r\n"));
    }

    void windowAndKeys()
    {
        AppRig r("PoleSet\r\nLower=" + QByteArray(250, 'm') + "\r\n");
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        // A fixed window of 628 x 392 pixels under its menu bar; lists show all their items.
        QCOMPARE(w.windowTitle(), QStringLiteral("Velodisp T3150-LC"));
        QCOMPARE(w.centralWidget()->size(), QSize(628, 392));
        w.adjustSize();
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        for (QComboBox *list : w.findChildren<QComboBox *>())
            QCOMPARE(list->maxVisibleItems(), list->count());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Enter in any control presses Send while it is shown.
        QTest::keyClick(r.control(QStringLiteral("CboEmulation")), Qt::Key_Return);
        QCOMPARE(r.port.written(), AppRig::framed("4330") + AppRig::closingFrame());
        r.port.dsr = false;
        r.clock.advance(0.5);
        QTest::keyClick(r.option("OptSet", 0), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(r.port.bytes.size(), size_t(17)); // nothing more
        r.port.dsr = true;
        r.clock.advance(0.5);
        // Tab stops at the selected button of each option group; the arrows move in the group.
        const auto tabCycle = [](QWidget *from) {
            QStringList seen{from->objectName()};
            from->setFocus();
            while (seen.size() < 30 && (seen.size() == 1 || seen.back() != seen.front())) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen << QApplication::focusWidget()->objectName();
            }
            return seen.mid(0, seen.size() - 1);
        };
        r.control<QComboBox>(QStringLiteral("CboBaud"))->setCurrentIndex(3);
        QCOMPARE(tabCycle(r.option("OptSet", 0)),
                 QStringList({"OptSet(0)", "CmdSend", "CboINChr", "CboCodePage", "TxtUpperLine",
                              "TxtLowerLine", "CboEmulation", "CboCommunication", "CboBaud",
                              "ChkSetTerm", "OptSetSel(6)"}));
        QTest::keyClick(r.option("OptSet", 0), Qt::Key_Down);
        QVERIFY(r.option("OptSet", 1)->isChecked());
        QVERIFY(r.option("OptSet", 1)->hasFocus());
        QCOMPARE(tabCycle(r.option("OptSet", 1)),
                 QStringList({"OptSet(1)", "OptReset(0)", "CmdSend"}));
        r.option("OptReset", 0)->setFocus();
        QTest::keyClick(r.option("OptReset", 0), Qt::Key_Down);
        QCOMPARE(tabCycle(r.option("OptSet", 1)),
                 QStringList({"OptSet(1)", "OptReset(1)", "CmdSend"}));
        // Typing: control characters and tabs are refused, the length is limited.
        auto *box = r.control<QLineEdit>(QStringLiteral("TxtUpperLine"));
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
        box = r.control<QLineEdit>(QStringLiteral("TxtLowerLine"));
        type(QStringLiteral("x"));
        QCOMPARE(box->text(), QString(250, u'm'));
        type(QString(), Qt::Key_Backspace);
        const QByteArray lower(249, 'm');
        QCOMPARE(box->text(), lower);
        r.option("OptSet", 0)->click();
        r.option("OptSetSel", 4)->click();
        r.send();
        QVERIFY(r.port.written().endsWith("\x02\x05L2" + lower + '\x03' + AppRig::closingFrame()));
        QVERIFY(r.readIni().contains("\r\nLower=" + lower + "\r\n"));
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
