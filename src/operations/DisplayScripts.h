#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// The fixed byte scripts of the display operations (test print, demo, initialise, scroll,
// overwrite). Every text here goes out raw except DemoCommand(), which is framed. Building and
// sending them, and the status line, are the caller's.

struct DisplayScript
{
    QString status; // shown before the first text
    QByteArrayList texts;
};

// The support address printed by the test print: 19 characters, so that it fits the display's
// 20 columns on a line of its own.
inline constexpr char SupportAddress[] = "help@vantor-qs.test";

// FF and the 16 character codes 16*row .. 16*row+15, for row 2..15 (0x20..0xFF); rows below
// 2 would hold control codes, so any row outside 2..15 gives an empty text.
QByteArray characterPage(int row);

// Test line, maker, telephone, e-mail, the 14 character pages and the closing banner.
DisplayScript testPrintScript();
// ESC '@' in either emulation.
DisplayScript initScript();
// Mode sequence for the emulation (0 native, anything else ESC/POS), then the notice.
DisplayScript scrollScript(int emulation);
DisplayScript overwriteScript(int emulation);

// Run Demo: these texts raw, then the port's RTS off, then DemoCommand() framed.
DisplayScript runDemoTexts();
// Payload 'D' and the parameter byte 0x08.
QByteArray DemoCommand();
DisplayScript stopDemoScript();
