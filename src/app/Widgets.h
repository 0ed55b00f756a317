#pragma once

#include <QColor>
#include <QGroupBox>
#include <QStringList>
#include <QWidget>

// Gives Qt's accessibility the interfaces it lacks for this program's widgets: drop-down lists
// named after what they choose (Qt on Linux names a list by its current item and leaves the rest
// to label relations that option-button rows cannot give), the printed panel as text and the
// drawn lines as graphics. Call it before the first widget is built; calling it again is harmless.
void installAccessibleInterfaces();

// A panel printed into line by line, like a classic picture box. It keeps what was printed
// and draws it again on every repaint until it is cleared.
class PictureBox : public QWidget
{
public:
    explicit PictureBox(QWidget *parent = nullptr);
    void clear();
    void print(const QString &line);
    const QStringList &lines() const { return m_lines; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList m_lines;
};

// A frame whose top edge is broken by its title, the way classic frames draw it: the
// title's blanks leave a gap there for the option button that titles the panel.
class TitledFrame : public QGroupBox
{
public:
    explicit TitledFrame(const QString &title, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A straight line from one corner of its rectangle to the other, drawn over what lies below
// and letting clicks through.
class LineShape : public QWidget
{
public:
    enum Direction { TopLeftToBottomRight, TopRightToBottomLeft };
    LineShape(Direction direction, QColor color, int width, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Direction m_direction;
    QColor m_color;
    int m_width;
};
