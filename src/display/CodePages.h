#pragma once

#include <QChar>

// The display's character sets as far as this program draws them: PC437 and Windows code
// (Windows-1252). Code page numbers are PoleSet's list indexes.

inline constexpr int CodePagePC437 = 0;
inline constexpr int CodePageWindows = 9;

// True for the code pages drawn with their own table; the others are drawn as PC437.
bool codePageDrawn(int codePage);

// The character a byte shows in a code page. Bytes below 0x20 and codes the page leaves
// undefined show as a blank cell.
QChar codePageChar(int codePage, unsigned char byte);
