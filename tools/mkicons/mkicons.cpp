// mira8-mkicons: renders the menu icon's SVG into the PNG sizes of the icon theme.
// Runs without a display.
//   mira8-mkicons packaging/mira8.svg OUTDIR 16 32 48
// writes OUTDIR/16x16/apps/mira8.png and so on.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: mira8-mkicons ICON.svg OUTDIR SIZE...\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString svg = QString::fromLocal8Bit(argv[1]);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "mira8-mkicons: %s is not a valid SVG\n", argv[1]);
        return 1;
    }
    const QString name = QFileInfo(svg).completeBaseName() + QStringLiteral(".png");
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "mira8-mkicons: bad size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            renderer.render(&p, QRectF(0, 0, size, size));
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        if (!QDir().mkpath(dir) || !image.save(dir + QLatin1Char('/') + name)) {
            std::fprintf(stderr, "mira8-mkicons: cannot write %s\n", qPrintable(dir + QLatin1Char('/') + name));
            return 1;
        }
    }
    return 0;
}
