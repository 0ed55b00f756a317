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
    QStringList statuses; // what the status line showed, once recordStatuses() has begun

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
    // The window's controls and menu items by their layout names; a missing one ends the run.
    template<class T = QWidget> T *control(const QString &name) const
    {
        for (QObject *child : window->findChildren<QObject *>(name))
            if (auto *found = dynamic_cast<T *>(child))
                return found;
        qFatal("The window has no control named %s of the type asked for", qPrintable(name));
    }
    QRadioButton *option(const char *array, int index) const
    {
        return control<QRadioButton>(QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(index));
    }
    QAction *action(const char *name) const { return control<QAction>(QLatin1String(name)); }
    void send() const { control<QPushButton>(QStringLiteral("CmdSend"))->click(); }

    QString status() const { return control<QLabel>(QStringLiteral("LblMessage"))->text(); }
    // The window lets events through after each status text: the line is read each time.
    void recordStatuses()
    {
        if (statuses.value(statuses.size() - 1) != status())
            statuses << status();
        QMetaObject::invokeMethod(
            window.get(), [this] { recordStatuses(); }, Qt::QueuedConnection);
    }
    bool shown(const QWidget *widget) const { return widget->isVisibleTo(window.get()); }
    bool shown(const char *name) const { return shown(control(QLatin1String(name))); }
    // Of the named controls and menu items, those shown, or those enabled: compared with the
    // ones expected, a failure names each that differs.
    QStringList shownOf(const QStringList &names) const
    {
        QStringList found;
        for (const QString &name : names) {
            auto *widget = qobject_cast<QWidget *>(control<QObject>(name));
            if (widget ? shown(widget) : control<QAction>(name)->isVisible())
                found << name;
        }
        return found;
    }
    QStringList enabledOf(const QStringList &names) const
    {
        QStringList found;
        for (const QString &name : names)
            if (control<QObject>(name)->property("enabled").toBool())
                found << name;
        return found;
    }
    // The arrow shown, -1 for none, -2 for more than one.
    int shownArrow() const
    {
        const QStringList arrows = shownOf({"ImgArrow(0)", "ImgArrow(1)", "ImgArrow(2)"});
        return arrows.size() == 1 ? arrows[0].at(9).digitValue() : arrows.isEmpty() ? -1 : -2;
    }
    // "up" for the link-up look, "down" for the link-down look, and for a mixture the parts that
    // show the link up, so that a failure names them. A reader hears the look from the picture.
    QString look() const
    {
        QStringList up = shownOf({"CmdSend"}) + enabledOf({"MenuTest", "MenuInit", "MenuDemo"});
        for (const char *line : {"LineX1", "LineX2"})
            if (!shown(line))
                up << QStringLiteral("no ") + line;
        const QString heard =
            QAccessible::queryAccessibleInterface(control(QStringLiteral("ImgPole")))
                ->text(QAccessible::Name);
        if (heard == "Link to the display: up")
            up << heard;
        return up.size() == 7                       ? "up"
               : up.isEmpty() && shownArrow() == -1 ? "down"
                                                    : "mixed, up: " + up.join(", ");
    }
    static QByteArray framed(const char *payloadHex)
    {
        return SetupFrame(QByteArray::fromHex(payloadHex));
    }
    static QByteArray closingFrame() { return framed("0B526561647921"); }
};
