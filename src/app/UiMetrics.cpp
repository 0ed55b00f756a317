#include "UiMetrics.h"

#include <QStringList>

void installFontSubstitutions()
{
    QFont::insertSubstitutions(
        QStringLiteral("Century"),
        QStringList{QStringLiteral("C059"), QStringLiteral("TeX Gyre Schola"),
                    QStringLiteral("Century Schoolbook L"), QStringLiteral("serif")});
}

QFont centuryFont(qreal pointSize, bool bold)
{
    QFont font(QStringLiteral("Century"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setStyleHint(QFont::Serif);
    return font;
}
