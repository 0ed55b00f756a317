// A bare main window with a menu bar and a client area as large as PoleSet's: what the
// benchmark compares PoleSet's start-up time and memory with.
//   --monitor  also moves a 16 x 16 picture among three places every 500 ms, as PoleSet's link
//              monitor moves its arrow: the least such a window can cost while idle.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool monitor = QCoreApplication::arguments().contains(QStringLiteral("--monitor"));

    QMainWindow window;
    window.setWindowTitle(monitor ? QStringLiteral("PoleSet bench floor (monitor)")
                                  : QStringLiteral("PoleSet bench floor"));
    QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"), &window, &QWidget::close);
    window.menuBar()->addMenu(QStringLiteral("&Help"))->addAction(QStringLiteral("&Version"));

    auto *client = new QWidget(&window);
    client->setFixedSize(628, 392);
    window.setCentralWidget(client);

    QTimer tick;
    QLabel *arrows[3] = {};
    int shown = 0;
    if (monitor) {
        QPixmap picture(16, 16);
        picture.fill(Qt::darkBlue);
        for (int i = 0; i < 3; ++i) {
            arrows[i] = new QLabel(client);
            arrows[i]->setPixmap(picture);
            arrows[i]->setGeometry(528 - 32 * i, 328, 16, 16);
            arrows[i]->setVisible(i == 0);
        }
        QObject::connect(&tick, &QTimer::timeout, [&] {
            arrows[shown]->hide();
            shown = (shown + 1) % 3;
            arrows[shown]->show();
        });
        tick.start(500);
    }

    window.show();
    return app.exec();
}
