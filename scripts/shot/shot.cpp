// shot WINDOW-ID OUT.png: saves what the X server shows of one window (its
// frame included when a window manager draws one) as a PNG. Used by
// scripts/screenshots on an Xvfb display; reads the window through the X
// server, so the picture is exactly what the program drew.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: shot WINDOW-ID OUT.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    bool ok = false;
    const WId window = QString::fromLatin1(argv[1]).toULongLong(&ok, 0);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!ok || screen == nullptr) {
        std::fprintf(stderr, "shot: bad window id or no screen\n");
        return 2;
    }
    const QPixmap picture = screen->grabWindow(window);
    if (picture.isNull() || !picture.toImage().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "shot: could not grab window %s\n", argv[1]);
        return 1;
    }
    return 0;
}
