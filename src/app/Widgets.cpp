#include "Widgets.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QMenu>
#include <QPainter>
#include <QPointer>

#include <utility>

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::blue);
    setPalette(p);
}

void PictureBox::clear()
{
    m_lines.clear();
    update();
    setAccessibleName(QString());
}

void PictureBox::print(const QString &line)
{
    m_lines << line;
    update();
    // What is printed is what the panel says to a screen reader.
    setAccessibleName(m_lines.join(u' ').simplified());
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    int y = metrics.ascent();
    for (const QString &line : m_lines) {
        painter.drawText(0, y, line);
        y += metrics.height();
    }
    // The panel's sunken border, drawn over the text like the classic control's.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

TitledFrame::TitledFrame(const QString &title, QWidget *parent)
    : QGroupBox(title, parent)
{}

void TitledFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int top = metrics.height() / 2;
    const int gapStart = 6;
    const int gapEnd = gapStart + metrics.horizontalAdvance(title());
    const QRect r = rect().adjusted(0, top, -2, -2);
    // An etched edge: a dark line with a light one beside it.
    for (const auto &[color, offset] : {std::pair{palette().color(QPalette::Mid), 0},
                                        std::pair{palette().color(QPalette::Light), 1}}) {
        painter.setPen(color);
        const QRect e = r.translated(offset, offset);
        painter.drawLine(e.left(), e.top(), gapStart, e.top());
        painter.drawLine(gapEnd, e.top(), e.right(), e.top());
        painter.drawLine(e.right(), e.top(), e.right(), e.bottom());
        painter.drawLine(e.right(), e.bottom(), e.left(), e.bottom());
        painter.drawLine(e.left(), e.bottom(), e.left(), e.top());
    }
}

LineShape::LineShape(Direction direction, QColor color, int width, QWidget *parent)
    : QWidget(parent)
    , m_direction(direction)
    , m_color(color)
    , m_width(width)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void LineShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(m_color, m_width, Qt::SolidLine, Qt::RoundCap));
    const qreal inset = m_width / 2.0;
    const QRectF r = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    if (m_direction == TopLeftToBottomRight)
        painter.drawLine(r.topLeft(), r.bottomRight());
    else
        painter.drawLine(r.topRight(), r.bottomLeft());
}

namespace {

// A drop-down list as Qt presents it (its popup list the one child, the same actions), except for
// what a reader hears. Qt's bridge to AT-SPI carries neither a list's Value text nor a selection,
// only its name and a numeric value, so the name says both what the list chooses and what it holds
// ("Baud rate:  19,200bps"), and the value is the item's index: a change of item is a change of
// value, which a reader presents for the control it is on, with the name made current just before.
class ListAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ListAccessible(QComboBox *list)
        : QAccessibleWidget(list, QAccessible::ComboBox)
    {
        // Qt announces the new index after this signal; the reader reads the name then.
        QObject::connect(list, &QComboBox::currentIndexChanged, list, [list] {
            QAccessibleEvent event(list, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
        });
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return list()->currentText();
        QString text = QAccessibleWidget::text(t);
        if (t != QAccessible::Name)
            return text;
        const QString row = text.trimmed();
        if (row.isEmpty() || list()->currentIndex() < 0)
            return row.isEmpty() ? list()->currentText() : row;
        return row + QLatin1Char(':') + QLatin1Char(' ') + list()->currentText();
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return list()->currentIndex(); }
    void setCurrentValue(const QVariant &value) override
    {
        list()->setCurrentIndex(qBound(0, value.toInt(), list()->count() - 1));
    }
    QVariant maximumValue() const override { return list()->count() - 1; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == list()->view() ? 0 : -1;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    // The name already says the row; a reader given a label would say the label instead of it.
    QList<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        auto all = QAccessibleWidget::relations(match);
        all.removeIf([](const auto &relation) { return relation.second & QAccessible::Label; });
        return all;
    }
    // Focus (which a reader asks for by "grab focus") stays available.
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QComboBox *list() const { return static_cast<QComboBox *>(widget()); }
};

// The notification a status line shows to have a text announced.
class Notice : public QWidget
{
public:
    using QWidget::QWidget;
};

// Dynamic properties that mark a picture made of several widgets: its parts, and the whole.
const char PartOf[] = "_poleset_partOf";
const char Whole[] = "_poleset_whole";

// Not there for a reader: no place in the tree and no events (Qt sends none for an interface that
// is not valid).
class PartAccessible : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;
    bool isValid() const override { return false; }
};

QList<QWidget *> partsOf(const QWidget *whole)
{
    QList<QWidget *> parts;
    if (const QWidget *parent = whole->parentWidget()) {
        for (QObject *child : parent->children()) {
            if (child->property(PartOf).value<QObject *>() == whole)
                parts << static_cast<QWidget *>(child);
        }
    }
    return parts;
}

// A picture made of several widgets, over their whole area.
class PictureAccessible : public QAccessibleWidget
{
public:
    explicit PictureAccessible(QWidget *whole)
        : QAccessibleWidget(whole, QAccessible::Graphic)
    {}
    QRect rect() const override
    {
        QRect area = QAccessibleWidget::rect();
        for (QWidget *part : partsOf(widget()))
            area |= QRect(part->mapToGlobal(QPoint(0, 0)), part->size());
        return area;
    }
};

// A plain container, less the widgets that are not there for a reader.
class ContainerAccessible : public QAccessibleWidget
{
public:
    explicit ContainerAccessible(QWidget *container)
        : QAccessibleWidget(container)
    {}
    int childCount() const override { return int(children().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QAccessibleInterface *> all = children();
        return index >= 0 && index < all.size() ? all[index] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return int(children().indexOf(const_cast<QAccessibleInterface *>(child)));
    }

private:
    QList<QAccessibleInterface *> children() const
    {
        QList<QAccessibleInterface *> shown;
        for (QObject *object : widget()->children()) {
            auto *child = qobject_cast<QWidget *>(object);
            if (!child || child->isWindow() || qobject_cast<QMenu *>(child))
                continue;
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(child);
            if (iface && iface->isValid())
                shown << iface;
        }
        return shown;
    }
};

// The status line as a status bar named by its text, its notification inside.
class StatusLineAccessible : public QAccessibleWidget
{
public:
    explicit StatusLineAccessible(QLabel *line)
        : QAccessibleWidget(line, QAccessible::StatusBar)
    {}
    QString text(QAccessible::Text t) const override
    {
        const QString text = QAccessibleWidget::text(t);
        return t == QAccessible::Name && text.isEmpty() ? static_cast<QLabel *>(widget())->text()
                                                        : text;
    }
};

QAccessibleInterface *accessibleInterface(const QString &, QObject *object)
{
    if (object->property(PartOf).isValid())
        return new PartAccessible(static_cast<QWidget *>(object));
    if (object->property(Whole).toBool())
        return new PictureAccessible(static_cast<QWidget *>(object));
    // Asked once per class up the object's hierarchy: answer at the first, the most derived.
    auto *list = qobject_cast<QComboBox *>(object);
    if (list && !list->isEditable())
        return new ListAccessible(list);
    if (auto *box = dynamic_cast<PictureBox *>(object))
        return new QAccessibleWidget(box, QAccessible::StaticText);
    if (auto *line = dynamic_cast<LineShape *>(object))
        return new QAccessibleWidget(line, QAccessible::Graphic);
    if (auto *line = dynamic_cast<StatusLine *>(object))
        return new StatusLineAccessible(line);
    if (auto *notice = dynamic_cast<Notice *>(object))
        return new QAccessibleWidget(notice, QAccessible::Notification);
    if (object->metaObject() == &QWidget::staticMetaObject)
        return new ContainerAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

StatusLine::StatusLine(const QString &text, QWidget *parent)
    : QLabel(parent)
    , m_notice(new Notice(this))
{
    m_notice->setFixedSize(0, 0);
    // Set only now: Qt makes the line's accessible interface when the text is first set.
    setText(text);
}

void StatusLine::announce(const QString &text)
{
    // A reader presents a notification when it shows, wherever the focus is.
    m_notice->setAccessibleName(text);
    QAccessibleEvent shown(m_notice, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void makeOnePicture(QWidget *whole, std::initializer_list<QWidget *> parts)
{
    whole->setProperty(Whole, true);
    for (QWidget *part : parts)
        part->setProperty(PartOf, QVariant::fromValue<QObject *>(whole));
}

namespace {

class FocusHome : public QObject
{
public:
    FocusHome(QWidget *control, std::function<QWidget *()> home)
        : QObject(control)
        , m_control(control)
        , m_home(std::move(home))
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // Qt moves the focus on after the hide event; taken home first, it stays there.
        QWidget *window = m_control->window();
        if (event->type() == QEvent::Hide && window->focusWidget() == m_control) {
            QWidget *home = m_home();
            m_waiting = home && home->isEnabled() && home->isVisibleTo(window) ? home : window;
            m_waiting->setFocus(Qt::OtherFocusReason);
        } else if (event->type() == QEvent::Show && m_waiting) {
            if (window->focusWidget() == m_waiting || !window->focusWidget())
                m_control->setFocus(Qt::OtherFocusReason);
            m_waiting.clear();
        }
        return false;
    }

private:
    QWidget *m_control;
    std::function<QWidget *()> m_home;
    QPointer<QWidget> m_waiting;
};

} // namespace

void giveFocusAHome(QWidget *control, std::function<QWidget *()> home)
{
    new FocusHome(control, std::move(home));
}

void installAccessibleInterfaces()
{
    static bool installed = false;
    if (!std::exchange(installed, true))
        QAccessible::installFactory(accessibleInterface);
}
