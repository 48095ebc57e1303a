// The least a Qt program with a tray item costs to start and to keep: the anchor the
// shell benchmark prints beside Sorvane's own figures.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::darkGray);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.show();
    return app.exec();
}
