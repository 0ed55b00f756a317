#include "VfdPanel.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {

// Dot matrix of one character cell, and the gaps between cells and lines, in dots.
constexpr int DotsX = 10;
constexpr int DotsY = 16;
constexpr double Baseline = 12.5; // dots from the cell's top; the rest is for descenders
constexpr int CellGap = 3;
constexpr int LineGap = 5;
constexpr int Margin = 24; // pixels around the glass's dot area

constexpr int GlassDotsX = VfdPanel::Columns * DotsX + (VfdPanel::Columns - 1) * CellGap;
constexpr int GlassDotsY = VfdPanel::Rows * DotsY + (VfdPanel::Rows - 1) * LineGap;

const QColor Lit(120, 255, 214);
const QColor Unlit(30, 54, 51);

} // namespace

VfdPanel::VfdPanel(QWidget *parent)
    : QWidget(parent)
{
    m_lines.fill(QString(Columns, QLatin1Char(' ')));
    // Any size: the dots scale with the smaller of the two sides.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void VfdPanel::setContent(const std::array<QString, Rows> &lines, int cursorRow, int cursorColumn)
{
    if (lines == m_lines && cursorRow == m_cursorRow && cursorColumn == m_cursorColumn)
        return;
    m_lines = lines;
    m_cursorRow = cursorRow;
    m_cursorColumn = cursorColumn;
    update();
}

QSize VfdPanel::sizeHint() const
{
    return {GlassDotsX * 2 + 2 * Margin, GlassDotsY * 2 + 2 * Margin};
}

QSize VfdPanel::minimumSizeHint() const
{
    return {GlassDotsX * 3 / 2 + 2 * Margin, GlassDotsY * 3 / 2 + 2 * Margin};
}

const QImage &VfdPanel::glyph(QChar c)
{
    auto it = m_glyphs.find(c.unicode());
    if (it != m_glyphs.end())
        return *it;
    // The character drawn once at one pixel per dot; each pixel's coverage lights its dot.
    QImage image(DotsX, DotsY, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!c.isSpace()) {
        QPainter painter(&image);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::Monospace);
        font.setPixelSize(15);
        font.setBold(true);
        font.setHintingPreference(QFont::PreferFullHinting);
        painter.setFont(font);
        painter.setPen(Qt::white);
        const double width = QFontMetricsF(font).horizontalAdvance(c);
        painter.drawText(QPointF((DotsX - width) / 2, Baseline), QString(c));
    }
    return *m_glyphs.insert(c.unicode(), image);
}

void VfdPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // Bezel and the smoked glass in it.
    painter.fillRect(rect(), QColor(24, 26, 28));
    const QRectF glass = QRectF(rect()).adjusted(8, 8, -8, -8);
    QLinearGradient shade(glass.topLeft(), glass.bottomLeft());
    shade.setColorAt(0, QColor(16, 30, 30));
    shade.setColorAt(1, QColor(6, 14, 14));
    painter.setPen(QPen(QColor(60, 66, 70), 2));
    painter.setBrush(shade);
    painter.drawRoundedRect(glass, 10, 10);

    const double pitch = qMin((glass.width() - 2 * (Margin - 8)) / GlassDotsX,
                              (glass.height() - 2 * (Margin - 8)) / GlassDotsY);
    const QPointF origin(glass.center().x() - pitch * GlassDotsX / 2,
                         glass.center().y() - pitch * GlassDotsY / 2);
    const double dot = pitch * 0.78;

    QRadialGradient halo(0.5, 0.5, 0.5);
    halo.setCoordinateMode(QGradient::ObjectBoundingMode);
    QColor haloColor = Lit;
    haloColor.setAlpha(70);
    halo.setColorAt(0, haloColor);
    halo.setColorAt(1, Qt::transparent);

    painter.setPen(Qt::NoPen);
    for (int row = 0; row < Rows; ++row) {
        for (int column = 0; column < Columns; ++column) {
            const QImage &image = glyph(m_lines.at(row).at(column));
            const bool cursor = row == m_cursorRow && column == m_cursorColumn;
            const QPointF cell = origin + QPointF(column * (DotsX + CellGap) * pitch,
                                                  row * (DotsY + LineGap) * pitch);
            for (int y = 0; y < DotsY; ++y) {
                for (int x = 0; x < DotsX; ++x) {
                    int level = qAlpha(image.pixel(x, y));
                    if (cursor && y == DotsY - 1)
                        level = qMax(level, 150);
                    const QRectF spot(cell.x() + x * pitch, cell.y() + y * pitch, dot, dot);
                    if (level < 40) {
                        painter.setBrush(Unlit);
                        painter.drawEllipse(spot);
                        continue;
                    }
                    const double strength = qMin(1.0, level / 170.0);
                    painter.setBrush(halo);
                    painter.drawEllipse(spot.adjusted(-pitch, -pitch, pitch, pitch));
                    QColor color = Lit;
                    color.setAlphaF(0.35 + 0.65 * strength);
                    painter.setBrush(color);
                    painter.drawEllipse(spot);
                }
            }
        }
    }

    // A faint reflection across the upper half of the glass.
    QLinearGradient sheen(glass.topLeft(), glass.bottomLeft());
    sheen.setColorAt(0, QColor(255, 255, 255, 22));
    sheen.setColorAt(0.45, QColor(255, 255, 255, 6));
    sheen.setColorAt(0.46, Qt::transparent);
    painter.setBrush(sheen);
    painter.drawRoundedRect(glass, 10, 10);
}

// The meta-object code compiled here rather than in a file of its own, where Qt's headers
// would be read once more.
#include "moc_VfdPanel.cpp" // NOLINT(bugprone-suspicious-include)
