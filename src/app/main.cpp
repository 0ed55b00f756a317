#include "Clock.h"
#include "Define.h"
#include "FrmMain.h"
#include "Prompter.h"
#include "QtPortAdapter.h"
#include "UiMetrics.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installFontSubstitutions();

    Define define;
    define.AppDir = QDir::currentPath();
    QtPortAdapter port(define.AppDir);
    SystemClock clock;
    MessageBoxPrompter prompter;
    FrmMain window(define, port, clock, prompter);
    prompter.setParent(&window);
    if (!window.Form_Load())
        return 1;
    window.show();
    return app.exec();
}
