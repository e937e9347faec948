// Build-time helper: writes the program's icon scaled to one of the icon theme's sizes.
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fputs("usage: tq-scaleicon SOURCE.png SIZE TARGET.png\n", stderr);
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    const int size = QByteArray(argv[2]).toInt();
    if (source.isNull() || size <= 0) {
        std::fprintf(stderr, "tq-scaleicon: cannot read %s or bad size %s\n", argv[1], argv[2]);
        return 1;
    }
    const QImage scaled = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!scaled.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "tq-scaleicon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
