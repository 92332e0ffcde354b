// Draws the program's pictures into a folder at build time, so that every
// picture the program shows is made from this source.
//   draw-art OUTPUT_DIR
#include "characters.h"
#include "palette.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

// A round, springy creature on a sky-blue tile: our program's icon.
QImage DrawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    QLinearGradient sky(0, 0, 0, 32);
    sky.setColorAt(0, QColor(92, 170, 240));
    sky.setColorAt(1, QColor(28, 84, 168));
    painter.setPen(QPen(QColor(16, 40, 90), 1));
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);

    // Ground.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(70, 150, 60));
    painter.drawRect(QRectF(1, 25, 30, 6));

    // Body with a bouncy squash.
    QRadialGradient body(14, 13, 12);
    body.setColorAt(0, QColor(255, 214, 90));
    body.setColorAt(1, QColor(224, 120, 20));
    painter.setPen(QPen(QColor(90, 40, 0), 1));
    painter.setBrush(body);
    painter.drawEllipse(QRectF(6, 7, 20, 18));

    // Eyes.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(11, 11, 5, 6));
    painter.drawEllipse(QRectF(17, 11, 5, 6));
    painter.setBrush(QColor(20, 20, 40));
    painter.drawEllipse(QRectF(13, 13, 2.4, 3));
    painter.drawEllipse(QRectF(19, 13, 2.4, 3));

    // Grin.
    QPainterPath grin;
    grin.moveTo(12, 19);
    grin.quadTo(16, 23, 21, 19);
    painter.setPen(QPen(QColor(90, 30, 0), 1.2, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(grin);

    // Antenna with a spark.
    painter.drawLine(QPointF(16, 7), QPointF(19, 2.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 250, 200));
    painter.drawEllipse(QRectF(18, 1, 3, 3));
    return image;
}

bool Save(const QImage& image, const QString& path)
{
    if (image.save(path))
        return true;
    std::fprintf(stderr, "draw-art: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw-art OUTPUT_DIR\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    bool ok = Save(DrawIcon(32), folder + QStringLiteral("/quimbrel-icon.png"));
    ok = Save(DrawIcon(64), folder + QStringLiteral("/quimbrel-icon-64.png")) && ok;
    ok = Save(DrawPalette(), folder + QStringLiteral("/palette.bmp")) && ok;
    for (const CharacterPicture& character : DrawCharacters())
        ok = Save(character.image, folder + u'/' + character.fileName) && ok;
    // The icon theme's usual sizes, for the installed desktop entry.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString sizeFolder = folder + QStringLiteral("/hicolor/%1x%1/apps").arg(size);
        QDir().mkpath(sizeFolder);
        ok = Save(DrawIcon(size), sizeFolder + QStringLiteral("/org.quimbrel.Quimbrel.png")) && ok;
    }
    return ok ? 0 : 1;
}
