#pragma once

#include <QChar>
#include <QString>

// What the display's glass shows for a byte: the code page chosen by its set-up command 'T'
// (upper half) and the national character set chosen by 'S' (twelve code points of the lower
// half). Numbers are the set-up codes less '0'.

inline constexpr int CodePageCount = 10;
inline constexpr int NationalSetCount = 16;

// The character table a code page is drawn from ("PC852" for the display's "Slavonic").
QString codePageTable(int codePage);

// False for the national sets that are drawn as U.S.A. (those outside the standard table, the
// factory and user defined ones).
bool nationalSetDrawn(int nationalSet);

// The character a byte shows. Bytes below 0x20 and codes a page leaves undefined show blank.
QChar displayChar(int codePage, int nationalSet, unsigned char byte);
