#include "AppRig.h"
#include "DlgIFSet.h"
#include "UiMetrics.h"
#include "WhenDialogOpens.h"

#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QtTest>

using Indexes = QList<int>;

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    // Where the controls stand (in twips), their type size and whether a new window shows them.
    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twipsPlace");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("shown");
        const auto row = [](const char *name, QRect place, double points = 11.25, bool bold = false,
                            bool shown = true) {
            QTest::newRow(name) << QString::fromLatin1(name) << place << points << bold << shown;
        };
        row("FraPoleSet", {240, 120, 8895, 3015});
        row("OptSet(0)", {600, 120, 1560, 330});
        row("FraResROM", {240, 3360, 4095, 1935});
        row("OptSet(1)", {480, 3360, 1920, 330});
        row("ChkSetTerm", {4680, 3360, 4440, 330});
        row("PicIFStat", {4560, 4320, 1335, 975});
        row("ImgPole", {6120, 4320, 720, 840});
        row("ImgPC", {8280, 4320, 720, 915});
        row("ImgArrow(2)", {6960, 4920, 240, 240}, 11.25, false, false);
        row("ImgArrow(0)", {7920, 4920, 240, 240}, 11.25, false, false);
        row("CmdSend", {7080, 4200, 1095, 615}, 14.25, false, false);
        row("LblSending", {6240, 3840, 2775, 375}, 14.25, true, false);
        row("LblMessage", {0, 5520, 9375, 375});
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twipsPlace);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(bool, shown);
        AppRig r;
        r.window = std::make_unique<FrmMain>(r.define, r.port, r.clock, r.prompter);
        auto *control = r.w().findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), twipsRect(twipsPlace.x(), twipsPlace.y(), twipsPlace.width(),
                                                twipsPlace.height()));
        QCOMPARE(control->font().family(), QStringLiteral("Century"));
        QCOMPARE(control->font().pointSizeF(), points);
        QCOMPARE(control->font().bold(), bold);
        QCOMPARE(r.shown(control), shown);
        // A fixed window of 628 x 392 pixels under its menu bar.
        QCOMPARE(r.w().windowTitle(), QStringLiteral("Velodisp T3150-LC"));
        QCOMPARE(r.w().centralWidget()->size(), QSize(628, 392));
        r.w().adjustSize();
        QCOMPARE(r.w().minimumSize(), r.w().maximumSize());
        QVERIFY(!(r.w().windowFlags() & Qt::WindowMaximizeButtonHint));
        // Every list shows all its items at once.
        for (QComboBox *list : r.w().findChildren<QComboBox *>())
            QCOMPARE(list->maxVisibleItems(), list->count());
    }

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
        QVERIFY(r.shown(w.LineX1) && r.shown(w.LineX2) && !r.shown(w.CmdSend));
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
        FrmMain &w = r.w();
        QVERIFY(!r.shown(w.CmdSend) && r.shown(w.LineX1) && r.shown(w.LineX2));
        QVERIFY(!r.shown(w.ImgArrow[0]) && !r.shown(w.ImgArrow[1]) && !r.shown(w.ImgArrow[2]));
        QVERIFY(w.PicIFStat->lines().isEmpty());
        QCOMPARE(r.readIni(), QByteArray("PoleSet\r\nPort= 2\r\n"));
    }

    void keyboard()
    {
        AppRig r;
        r.loadWithLinkUp();
        FrmMain &w = r.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Enter in any control presses Send while it is shown.
        QTest::keyClick(w.CboEmulation, Qt::Key_Return);
        QCOMPARE(r.port.written(), AppRig::framed("4330") + AppRig::framed("0B526561647921"));
        r.port.forget();
        r.port.dsr = false;
        r.clock.advance(0.5);
        QTest::keyClick(w.OptSet[0], Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(r.port.bytes.empty());
        r.port.dsr = true;
        r.clock.advance(0.5);

        // Tab stops at the selected button of each option group; the arrows move in the group.
        const auto tabCycle = [](QWidget *from) {
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
        QTest::keyClick(w.OptSet[0], Qt::Key_Down);
        QVERIFY(w.OptSet[1]->isChecked() && w.OptSet[1]->hasFocus());
        QCOMPARE(tabCycle(w.OptSet[1]), (QList<QWidget *>{w.OptSet[1], w.OptReset[0], w.CmdSend}));
        w.OptReset[0]->setFocus();
        QTest::keyClick(w.OptReset[0], Qt::Key_Down);
        QCOMPARE(w.ResetSelIndex, 1);
        QCOMPARE(tabCycle(w.OptSet[1]), (QList<QWidget *>{w.OptSet[1], w.OptReset[1], w.CmdSend}));
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
        for (const char *key : {"A", "\x01", " ", "\x7f", "C"})
            type(QString::fromLatin1(key));
        QCOMPARE(box->text(), QStringLiteral("A C"));
        box->insert(QStringLiteral("x\ty")); // a paste holding a tab is refused whole
        QCOMPARE(box->text(), QStringLiteral("A C"));
        box->setCursorPosition(1);
        box->insert(QString(300, u'z')); // a paste keeps what fits
        QCOMPARE(box->text(), "A" + QString(195, u'z') + " C");
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

    void look()
    {
        AppRig r;
        r.port.dsr = false;
        QVERIFY(r.load());
        r.clock.advance(0.5);
        FrmMain &w = r.w();
        // The red cross over the picture row: both diagonals, near their ends.
        const QRect row = twipsRect(6120, 4320, 3000, 960);
        const auto red = [&w](QPoint at) {
            const QColor c = w.centralWidget()->grab().toImage().pixelColor(at);
            return c.red() > 200 && c.green() < 80 && c.blue() < 80;
        };
        const QPoint in(8, 4);
        QVERIFY(red(row.topLeft() + in) && red(row.bottomRight() - in));
        QVERIFY(red(row.topRight() + QPoint(-in.x(), in.y())) &&
                red(row.bottomLeft() + QPoint(in.x(), -in.y())));
        // The interface panel: blue text on white.
        const QImage all = w.centralWidget()->grab().toImage();
        const QRect panel = w.PicIFStat->geometry();
        QCOMPARE(all.pixelColor(panel.bottomRight() - QPoint(4, 4)), QColor(Qt::white));
        bool blue = false;
        for (int x = panel.left(); x < panel.right(); ++x) {
            const QColor c = all.pixelColor(x, panel.center().y());
            blue = blue || (c.blue() > 200 && c.red() < 100);
        }
        QVERIFY(blue);
        r.port.dsr = true;
        r.clock.advance(0.5);
        QVERIFY(!red(row.topLeft() + in));
    }

    void placement()
    {
        AppRig r;
        r.loadWithLinkUp();
        r.w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&r.w()));
        QCOMPARE(r.w().frameGeometry().center(), r.w().screen()->availableGeometry().center());
        whenDialogOpens<DlgIFSet>(r.w(), [&r](DlgIFSet *dialog) {
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QCOMPARE(dialog->frameGeometry().center(), r.w().frameGeometry().center());
            dialog->reject();
        });
        r.w().MenuIFSet->trigger();
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
