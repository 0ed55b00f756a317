#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

// Acts on a modal dialog of type `Dialog` once `window` shows it; the dialog's own event loop
// runs the check.
template<typename Dialog> void whenDialogOpens(QWidget &window, std::function<void(Dialog *)> act)
{
    auto *poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &window, act] {
        auto *dialog = window.findChild<Dialog *>();
        if (dialog && dialog->isVisible()) {
            poll->stop();
            poll->deleteLater();
            act(dialog);
        }
    });
    poll->start(0);
}
