#pragma once

// PoleSet and the display decoder on the two ends of a pseudo-terminal: the real port adapter,
// the real window offscreen, virtual time.
#include "DisplayDecoder.h"
#include "FakeClock.h"
#include "FakePrompter.h"
#include "FrmMain.h"
#include "QtPortAdapter.h"
#include "TestPty.h"

#include <QtWidgets>

#include <memory>

struct Line
{
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    TestPty pty;
    Define define;
    FakeClock clock;
    FakePrompter prompter;
    std::unique_ptr<QtPortAdapter> port;
    std::unique_ptr<FrmMain> window;
    DisplayDecoder display;
    QStringList log;

    Line(const QByteArray &settings = {})
    {
        QDir::setCurrent(dir.path());
        pty.linkAs(dir.path());
        if (!settings.isEmpty()) {
            QFile file(dir.filePath(QStringLiteral("PoleSet.ini")));
            if (file.open(QIODevice::WriteOnly))
                file.write(settings);
        }
        port = std::make_unique<QtPortAdapter>(dir.path());
        window = std::make_unique<FrmMain>(define, *port, clock, prompter);
    }
    ~Line()
    {
        window.reset();
        port.reset();
        QDir::setCurrent(previousDir);
    }
    // Start-up and the first tick of the link monitor: a pseudo-terminal holds DSR.
    bool start()
    {
        if (!window->Form_Load())
            return false;
        clock.advance(0.5);
        return window->CmdSend->isVisibleTo(window.get());
    }
    // Hands what reached the display to the decoder.
    void pump()
    {
        display.feed(pty.readAvailable(20));
        display.flush();
        log += display.takeLog();
    }
    void send()
    {
        window->CmdSend->click();
        pump();
        clock.advance(0.5);
    }
};
