#include "UiMetrics.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installFontSubstitutions();
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Velodisp T3150-LC"));
    window.show();
    return app.exec();
}
