#include "profiles/palettepicture.h"

#include <QColor>

QImage PalettePicture()
{
    return QImage(QStringLiteral(":/art/palette.bmp"));
}

int PointToColorIndex(int x, int y)
{
    constexpr int lastFieldOffset = PaletteCellSize - 3;  // 15
    if (x >= PaletteWidth - 2)
        return -1;
    if (x % PaletteCellSize < 2 || x % PaletteCellSize > lastFieldOffset)
        return -1;
    if (y % PaletteCellSize < 2 || y % PaletteCellSize > lastFieldOffset)
        return -1;
    return x / PaletteCellSize + PaletteColumns * (y / PaletteCellSize);
}

std::uint32_t ColorIndexToColor(const QImage& picture, int index)
{
    // Wide arithmetic: any 32-bit index must land outside, not wrap around.
    const long long x = (index % PaletteColumns) * PaletteCellSize + PaletteCellSize / 2;
    const long long y = static_cast<long long>(index / PaletteColumns) * PaletteCellSize + PaletteCellSize / 2;
    if (x < 0 || y < 0 || x >= PaletteWidth || y >= PaletteHeight || !picture.valid(int(x), int(y)))
        return InvalidColor;
    const QRgb rgb = picture.pixel(int(x), int(y));
    return static_cast<std::uint32_t>(qRed(rgb)) | static_cast<std::uint32_t>(qGreen(rgb)) << 8
         | static_cast<std::uint32_t>(qBlue(rgb)) << 16;
}

QImage WithTransparentFrames(const QImage& picture)
{
    if (picture.isNull())
        return picture;
    QImage shown = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = picture.pixel(0, picture.height() - 1);
    for (int y = 0; y < shown.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x) {
            if (line[x] == transparent)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return shown;
}
