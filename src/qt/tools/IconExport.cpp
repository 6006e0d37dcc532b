// Writes the program's own shield into an icon theme folder, for installation:
//   IconExport <folder> <icon name>
// makes <folder>/<size>x<size>/apps/<name>.png at the usual sizes and
// <folder>/scalable/apps/<name>.svg.
#include "qt/Artwork.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <folder> <icon name>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(dir) ||
            !tw::qt::programIconImage(size).save(dir + QLatin1Char('/') + name + ".png")) {
            std::fprintf(stderr, "cannot write the %dx%d icon\n", size, size);
            return 1;
        }
    }
    const QString dir = folder + QStringLiteral("/scalable/apps");
    QFile svg(dir + QLatin1Char('/') + name + ".svg");
    if (!QDir().mkpath(dir) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(tw::qt::programIconSvg()) < 0 || !svg.flush()) {
        std::fprintf(stderr, "cannot write the scalable icon\n");
        return 1;
    }
    return 0;
}
