#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows-1252, the 8-bit text of the settings file and of the display's demo messages: one byte
// per character. Written by hand so it does not depend on the host's code pages. The five codes
// that Windows-1252 leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) map to U+0081 etc. and back, so
// every byte survives a round trip.

// The byte of a code point, or -1 when Windows-1252 has none.
int ansiByteOf(char32_t codePoint);

// One byte per character; a character outside Windows-1252 becomes '?', a surrogate pair (one
// character) becomes a single '?'.
QByteArray toAnsi(QStringView text);

// One character per byte.
QString fromAnsi(QByteArrayView bytes);
