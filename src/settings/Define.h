#pragma once

#include "LineSettings.h"
#include "StartDir.h"

#include <QString>

// The program's settings variables: the PC side of the serial link, what the display was last
// configured to, and two working values. One instance lives as long as the application and is
// handed to everything that needs it by reference; tests build their own.
struct Define
{
    // PC side of the link.
    int ComPort = 1;    // 1..4
    int ComBaud = 9600; // one of 300, 600, 1200, 2400, 4800, 9600, 19200, 38400
    int ComParity = 0;  // 0 none, 1 even, 2 odd
    int ComBitLen = 8;  // 7 or 8

    // Display side: indexes into the main window's lists.
    int DspINChar = 0;        // 0..15
    int DspCodePage = 0;      // 0..9
    int DspEmulation = 0;     // 0 native, 1 ESC/POS
    int DspCommunication = 0; // 0..5
    int DspBaud = 0;          // 0..7
    QString DspUpperLine = {};
    QString DspLowerLine = {};

    QString AppDir = {}; // the start-up directory; the settings file lives there

    // The PC side's line as one value, and back.
    LineSettings line() const { return {ComBaud, Parity(ComParity), ComBitLen, 1}; }
    void setLine(const LineSettings &line)
    {
        ComBaud = line.baud;
        ComParity = int(line.parity);
        ComBitLen = line.dataBits;
    }

    // The start-up directory itself, through which the COMn entries and the settings file are
    // found; AppDir is its name for texts.
    StartDir startDir = {};

    // Everything but the start-up directory back to the defaults.
    void resetToDefaults()
    {
        const QString appDir = AppDir;
        const StartDir dir = startDir;
        *this = Define{};
        AppDir = appDir;
        startDir = dir;
    }
};
