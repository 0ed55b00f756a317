#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

// Put first in a timer callback that acts on an open modal dialog or box: when a check in the
// callback fails, the modal is closed on the way out, so the test fails at once instead of
// waiting for a click that never comes.
struct ModalGuard
{
    ModalGuard() = default;
    ModalGuard(const ModalGuard &) = delete;
    ModalGuard &operator=(const ModalGuard &) = delete;
    ~ModalGuard()
    {
        if (QTest::currentTestFailed())
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
    }
};
