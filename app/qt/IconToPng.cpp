// Writes the application icon at one size as a PNG file, for the desktop's icon theme.
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "ui/qt/AppIcon.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("Usage: kestrum_icon_png SIZE FILE.png\n", stderr);
        return 64;
    }
    QGuiApplication app(argc, argv);
    const int nSize = std::stoi(argv[1]);
    const QPixmap pixmap = qtui::AppIcon().pixmap(nSize, nSize);
    if (pixmap.isNull() ||
        !pixmap.scaled(nSize, nSize).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "kestrum_icon_png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
