#include "WindowPlacement.h"

#include <QEvent>
#include <QRect>
#include <QWidget>
#include <QWindow>

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
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(m_area().center());
        if (frame.topLeft() != m_window->frameGeometry().topLeft())
            m_window->move(frame.topLeft());
    }

    QWidget *m_window;
    std::function<QRect()> m_area;
};

} // namespace

void centreWithFrame(QWidget *window, std::function<QRect()> area)
{
    new Centring(window, std::move(area));
}
