#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <optional>

// The number of a text, the way the settings file's values are read: the value of the longest
// leading part that reads as a number -- optional sign, digits, a decimal point, an exponent
// introduced by E or D with its own sign -- or hexadecimal / octal digits after a leading &H / &O.
// Blanks and tabs anywhere inside are skipped. A text without such a part gives 0. Anything else
// ends the number. Linear in the length of the text; a value too large for a double is +-infinity.
double numberOfText(QStringView text);

// The same over 8-bit text; no byte above 0x7F can be part of a number.
double numberOfText(QByteArrayView text);

// Rounded to a whole number, halves to the even neighbour; empty when the result is outside
// 0..255 or the value is not finite.
std::optional<int> roundToByte(double value);

// The same for a signed 32-bit number.
std::optional<int> roundToInt32(double value);
