#include "RunWindow.h"

#include "FrmMain.h"
#include "MessageBoxPrompter.h"
#include "TerminationSignals.h"

#include <QApplication>

int runWindow(FrmMain &window, TerminationSignals &termination, EndablePrompter *prompter)
{
    bool terminating = false;
    const QMetaObject::Connection connection =
        QObject::connect(&termination, &TerminationSignals::received, &window, [&] {
            terminating = true;
            if (prompter)
                prompter->end();
            if (window.isVisible())
                window.close();
            else
                QCoreApplication::exit(1);
        });
    int status = 1;
    if (window.Form_Load()) {
        // Asked to end while still starting: shut down without ever showing the window.
        if (terminating)
            window.close();
        else
            window.show();
        status = terminating ? 0 : QApplication::exec();
    }
    QObject::disconnect(connection);
    return status;
}
