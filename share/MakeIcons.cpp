// Draws the program's icon at the sizes icon themes look for, into
// <folder>/icons/hicolor/<size>x<size>/apps/com.sorvane.local.png.
#include "ProgramMark.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: sorvane-make-icons <share folder>\n");
        return 2;
    }
    const QString share = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = share + QStringLiteral("/icons/hicolor/%1x%1/apps").arg(size);
        const QString file = folder + QStringLiteral("/com.sorvane.local.png");
        if (!QDir().mkpath(folder) || !sorvane::ProgramMark::image(size).save(file)) {
            std::fprintf(stderr, "sorvane-make-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
