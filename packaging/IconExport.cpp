// Writes each image of the window icon as <dir>/<n>x<n>/apps/lumivor.png, the layout of an
// icon theme, so that the installed desktop entry shows the same artwork as the window.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <icon theme directory>\n", argv[0]);
        return 2;
    }
    QImageReader reader(QStringLiteral(":/new/icon/myappico.ico"));
    int written = 0;
    do {
        const QImage image = reader.read();
        if (image.isNull())
            break;
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(argv[1]).arg(image.width());
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/lumivor.png")))
            return 1;
        ++written;
    } while (reader.jumpToNextImage());
    return written > 0 ? 0 : 1;
}
