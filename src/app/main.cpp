#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvadenix"));

    QWidget mainWindow;
    mainWindow.setWindowFlag(Qt::FramelessWindowHint);
    mainWindow.resize(960, 720);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        mainWindow.move(area.center() - QPoint(480, 360));
    }
    mainWindow.show();
    return app.exec();
}
