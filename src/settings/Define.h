#pragma once

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

    // Working values, never stored.
    int ArrowIndex = 0;
    bool IFSetCancelled = false;

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

// The display's baud list runs 9600 down to 300, then 38400 before 19200.
inline constexpr int DspBaudRates[8] = {9600, 4800, 2400, 1200, 600, 300, 38400, 19200};

// Index of a rate in DspBaudRates, or -1.
inline int dspBaudIndexOf(int rate)
{
    for (int i = 0; i < 8; ++i) {
        if (DspBaudRates[i] == rate)
            return i;
    }
    return -1;
}

// The display's communication formats in list order: parity 0/1/2, then 8 or 7 data bits.
inline int dspCommunicationOf(int comParity, int comBitLen)
{
    return 8 - comBitLen + 2 * comParity;
}
