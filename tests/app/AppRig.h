#pragma once

#include "FakeClock.h"
#include "FakePort.h"
#include "FakePrompter.h"
#include "FrmMain.h"
#include "SerialLink.h"
#include "Widgets.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

// A real FrmMain over a fake port, clock and message boxes, started in a scratch directory
// that holds its settings file.
struct AppRig
{
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    Define define;
    FakeClock clock;
    FakePort port;
    FakePrompter prompter;
    std::unique_ptr<FrmMain> window;

    AppRig(const QByteArray &ini = {})
    {
        QDir::setCurrent(dir.path());
        QFile f(iniPath());
        if (!ini.isEmpty() && f.open(QIODevice::WriteOnly))
            f.write(ini);
    }
    ~AppRig()
    {
        window.reset();
        QDir::setCurrent(previousDir);
    }

    QString iniPath() const { return dir.filePath(QStringLiteral("PoleSet.ini")); }
    QByteArray readIni() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    bool load()
    {
        window = std::make_unique<FrmMain>(define, port, clock, prompter);
        const bool loaded = window->Form_Load();
        port.forget();
        return loaded;
    }
    // Start-up, then one tick of the link monitor with the display present.
    void loadWithLinkUp()
    {
        QVERIFY(load());
        clock.advance(0.5);
    }

    FrmMain &w() { return *window; }
    QString status() const { return window->LblMessage->text(); }
    bool shown(const QWidget *widget) const { return widget->isVisibleTo(window.get()); }
    // The arrow shown, -1 for none, -2 for more than one.
    int shownArrow() const
    {
        int arrow = -1;
        for (int i = 0; i < 3; ++i)
            arrow = shown(window->ImgArrow[i]) ? (arrow == -1 ? i : -2) : arrow;
        return arrow;
    }
    // 1 for the link-up look, 0 for the link-down look, -1 for a mixture. A screen reader hears
    // the look from the display's picture.
    int look() const
    {
        const FrmMain &w = *window;
        const QString heard =
            QAccessible::queryAccessibleInterface(w.ImgPole)->text(QAccessible::Name);
        const bool items[] = {shown(w.CmdSend),
                              w.MenuTest->isEnabled(),
                              w.MenuInit->isEnabled(),
                              w.MenuDemo->isEnabled(),
                              !shown(w.LineX1),
                              !shown(w.LineX2),
                              heard == "Link to the display: up"};
        const int up = int(std::count(std::begin(items), std::end(items), true));
        return up == 7                                                                 ? 1
               : up == 0 && shownArrow() == -1 && heard == "Link to the display: down" ? 0
                                                                                       : -1;
    }
    static QByteArray framed(const char *payloadHex)
    {
        return SetupFrame(QByteArray::fromHex(payloadHex));
    }
    static QByteArray closingFrame() { return framed("0B526561647921"); }
};
