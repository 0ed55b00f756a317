#include "WindowPlacement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

class Centring : public QObject
{
public:
    Centring(QWidget *window, std::function<QRect()> area)
        : QObject(window)
        , m_window(window)
        , m_area(std::move(area))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show) {
            place();
            if (QWindow *handle = m_window->windowHandle())
                handle->installEventFilter(this);
        } else if (watched != m_window && event->type() == QEvent::Expose) {
            // The frame is known once the window manager has taken the window on.
            place();
            deleteLater();
        }
        return false;
    }

private:
    void place()
    {
        const QRect bounds = m_window->screen() ? m_window->screen()->availableGeometry() : QRect();
        const QRect frame = placedFrame(m_window->frameGeometry(), m_area(), bounds);
        if (frame.topLeft() != m_window->frameGeometry().topLeft())
            m_window->move(frame.topLeft());
    }

    QWidget *m_window;
    std::function<QRect()> m_area;
};

// The start of a length `size` that starts at `start`, kept within [low, low + room).
int placedStart(int size, int start, int low, int room)
{
    return size >= room ? low : std::clamp(start, low, low + room - size);
}

} // namespace

QRect placedFrame(QRect frame, const QRect &area, const QRect &bounds)
{
    frame.moveCenter(area.center());
    if (bounds.isEmpty())
        return frame;
    frame.moveTopLeft({placedStart(frame.width(), frame.left(), bounds.left(), bounds.width()),
                       placedStart(frame.height(), frame.top(), bounds.top(), bounds.height())});
    return frame;
}

void centreWithFrame(QWidget *window, std::function<QRect()> area)
{
    new Centring(window, std::move(area));
}
