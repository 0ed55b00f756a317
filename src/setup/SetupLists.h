#pragma once

#include <QStringList>

// The items of the window's five set-up lists in their stored order, with the leading blanks
// that are part of each item's text. The list index is the value the set-up stores and sends.
extern const QStringList INChrItems;
extern const QStringList CodePageItems;
extern const QStringList EmulationItems;
extern const QStringList CommunicationItems;
extern const QStringList BaudItems;
