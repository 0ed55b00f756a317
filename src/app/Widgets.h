#pragma once

#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QWidget>

#include <functional>

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

// The status line. To a screen reader it is a status bar named by its text; what it is asked to
// announce reaches the reader at once, wherever the focus is, as a notification shown inside it.
// The line on screen shows only the text it is given.
class StatusLine : public QLabel
{
public:
    explicit StatusLine(const QString &text, QWidget *parent = nullptr);
    void announce(const QString &text);

private:
    QWidget *m_notice;
};

// Makes `whole` and `parts` one picture to a screen reader: `whole` speaks for all of them and
// covers their area, the parts are not there for a reader and tell it nothing (an arrow that
// steps four times a second would otherwise be heard for ever). Call it before they are shown.
void makeOnePicture(QWidget *whole, std::initializer_list<QWidget *> parts);

// When `control` hides while it has the focus, the focus goes to `home()` (the window when that
// gives none) rather than on to the next control, and comes back when `control` shows again,
// unless the user has moved it in between.
void giveFocusAHome(QWidget *control, std::function<QWidget *()> home);
