#pragma once

#include "FakeClock.h"
#include "FakePort.h"
#include "FakePrompter.h"
#include "FrmMain.h"
#include "SerialLink.h"
#include "Widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A real FrmMain over a fake port, clock and message boxes, started in a scratch directory
// that holds its settings file.
struct AppRig
{
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    Define define;
    FakeClock clock;
    FakePort port{&clock};
    FakePrompter prompter;
    std::unique_ptr<FrmMain> window;

    AppRig() { QDir::setCurrent(dir.path()); }
    ~AppRig()
    {
        window.reset();
        QDir::setCurrent(previousDir);
    }

    QString iniPath() const { return dir.filePath(QStringLiteral("PoleSet.ini")); }
    void writeIni(const QByteArray &text) const
    {
        QFile f(iniPath());
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    }
    QByteArray readIni() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Creates the window and runs its start-up; the window is not shown.
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
        port.dsr = true;
        clock.advance(0.5);
    }

    FrmMain &w() { return *window; }
    QString status() const { return window->LblMessage->text(); }
    bool shown(const QWidget *widget) const { return widget->isVisibleTo(window.get()); }
    // The bytes that hex texts put on the wire, for comparisons.
    static QByteArray wire(const QStringList &hexTexts)
    {
        QByteArray bytes;
        for (const QString &text : hexTexts)
            bytes += hexTextToBytes(text);
        return bytes;
    }
    static QByteArray framed(const QString &payload) { return hexTextToBytes(SetupFrame(payload)); }
};
