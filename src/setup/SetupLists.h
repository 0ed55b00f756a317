#pragma once

#include <QStringList>

// The items of the window's five set-up lists in their stored order, with the leading blanks
// that are part of each item's text. The list index is the value the set-up stores and sends.
extern const QStringList INChrItems;
extern const QStringList CodePageItems;
extern const QStringList EmulationItems;
extern const QStringList CommunicationItems; // " N-8-1", ... from DspCommunicationFormats
extern const QStringList BaudItems;          // "  9,600bps", ... from DspBaudRates

// A rate as the baud lists show it, right-aligned in ten characters: "    300bps", " 38,400bps".
QString baudListItem(int rate);
