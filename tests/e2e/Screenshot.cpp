// Saves the whole screen of the display as a PNG file, window manager's
// frames and all: what a user of the end-to-end session would see.
// Usage: yomimaru-screenshot FILE.png

#include <cstdio>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: yomimaru-screenshot FILE.png\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "yomimaru-screenshot: no screen\n");
        return 1;
    }
    const QPixmap shot = screen->grabWindow(0);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "yomimaru-screenshot: could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
