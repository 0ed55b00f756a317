#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <QWidget>

#include <array>

// The glass of a two-line, 20-column vacuum-fluorescent display: each character cell a dot
// matrix, lit dots glowing cyan-green, unlit dots faintly visible on the dark panel.
class VfdPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Rows = 2;
    static constexpr int Columns = 20;

    explicit VfdPanel(QWidget *parent = nullptr);

    // Each line Columns characters; a cursor outside the glass is not drawn.
    void setContent(const std::array<QString, Rows> &lines, int cursorRow, int cursorColumn);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const QImage &glyph(QChar c);

    std::array<QString, Rows> m_lines;
    int m_cursorRow = 0;
    int m_cursorColumn = 0;
    QHash<char16_t, QImage> m_glyphs;
};
