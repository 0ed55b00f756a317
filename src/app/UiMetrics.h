#pragma once

#include <QFont>
#include <QRect>

// The window layouts are given in twips; at 15 twips per logical pixel they are converted
// once, here, and Qt's high-DPI scaling does the rest.
constexpr int twips(int t)
{
    return (t + 7) / 15;
}

inline QRect twipsRect(int x, int y, int width, int height)
{
    return QRect(twips(x), twips(y), twips(width), twips(height));
}

// The windows' face is "Century"; on hosts without it a metric-close serif stands in.
void installFontSubstitutions();
QFont centuryFont(qreal pointSize = 11.25, bool bold = false);
