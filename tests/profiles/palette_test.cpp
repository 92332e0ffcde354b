#include "profiles/palettepicture.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QtEndian>

#include <climits>

namespace {

// The palette entry each cell's field shows, written out from the game's
// layout independently of the drawing.
int ExpectedFieldEntry(int cell)
{
    if (cell <= 15 || (cell >= 56 && cell <= 58))
        return 1;
    if (cell == 46)
        return 30;
    if (cell == 47 || cell == 63 || cell == 71)
        return 31;
    if (cell == 79)
        return 39;
    return cell;
}

std::uint32_t Rgb(int r, int g, int b) { return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16; }

std::uint32_t Entry(const QImage& picture, int entry)
{
    const QRgb c = picture.color(entry);
    return Rgb(qRed(c), qGreen(c), qBlue(c));
}

TEST(PalettePicture, IsAnUncompressedBottomUp8BitBitmapWithAFullColourTable)
{
    QFile file(QStringLiteral(":/art/palette.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bmp = file.readAll();
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bmp.constData() + at); };
    auto i32 = [&](int at) { return qFromLittleEndian<qint32>(bmp.constData() + at); };
    auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bmp.constData() + at); };
    ASSERT_GE(bmp.size(), 54);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(u32(14), 40u);                         // an ordinary device-independent bitmap
    EXPECT_EQ(i32(18), 288);
    EXPECT_EQ(i32(22), 90);                          // positive: bottom-up
    EXPECT_EQ(u16(28), 8);                           // bits per pixel
    EXPECT_EQ(u32(30), 0u);                          // uncompressed
    EXPECT_TRUE(u32(46) == 256 || u32(46) == 0);     // 256 colours
    EXPECT_EQ(u32(10), 14u + 40u + 256u * 4u);       // pixels right after the table
    EXPECT_EQ(bmp.size(), qsizetype(14 + 40 + 256 * 4 + 288 * 90));
}

TEST(PalettePicture, FollowsTheGamesLayoutAndColours)
{
    const QImage picture = PalettePicture();
    ASSERT_EQ(picture.size(), QSize(288, 90));
    ASSERT_EQ(picture.format(), QImage::Format_Indexed8);
    ASSERT_EQ(picture.colorCount(), 256);

    for (int y = 0; y < 90; ++y) {
        for (int x = 0; x < 288; ++x) {
            const bool frame = x % 18 < 2 || x % 18 > 15 || y % 18 < 2 || y % 18 > 15;
            const int expected = frame ? 65 : ExpectedFieldEntry(x / 18 + 16 * (y / 18));
            ASSERT_EQ(picture.pixelIndex(x, y), expected) << "at " << x << "," << y;
        }
    }

    const struct {
        int entry;
        std::uint32_t rgb;
    } given[] = {{0, Rgb(0, 255, 0)},      {1, Rgb(0, 0, 0)},          {16, Rgb(199, 255, 0)},
                 {23, Rgb(0, 11, 0)},      {24, Rgb(255, 0, 0)},       {31, Rgb(11, 0, 0)},
                 {32, Rgb(187, 227, 255)}, {39, Rgb(0, 7, 11)},        {65, Rgb(219, 207, 175)},
                 {72, Rgb(211, 231, 255)}, {79, Rgb(7, 7, 11)}};
    for (const auto& g : given)
        EXPECT_EQ(Entry(picture, g.entry), g.rgb) << "entry " << g.entry;

    // Entries 16 to 79: ramps of 8 shades, each darker than the one before.
    for (int entry = 16; entry < 80; ++entry) {
        if (entry % 8 == 0)
            continue;
        const QColor lighter = QColor::fromRgb(picture.color(entry - 1));
        const QColor darker = QColor::fromRgb(picture.color(entry));
        EXPECT_LT(darker.red() + darker.green() + darker.blue(), lighter.red() + lighter.green() + lighter.blue())
            << "entry " << entry;
    }
}

TEST(PalettePicture, PointsMapToCellsWithFramesAndTheRightEdgeExcluded)
{
    for (int column = 0; column < 16; ++column) {
        const int left = 18 * column;
        EXPECT_EQ(PointToColorIndex(left + 0, 20), -1);
        EXPECT_EQ(PointToColorIndex(left + 1, 20), -1);
        EXPECT_EQ(PointToColorIndex(left + 16, 20), -1);
        EXPECT_EQ(PointToColorIndex(left + 17, 20), -1);
        if (left + 2 < 286) {
            EXPECT_EQ(PointToColorIndex(left + 2, 20), column + 16);
            EXPECT_EQ(PointToColorIndex(left + 15, 20), column + 16);
        }
    }
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(PointToColorIndex(100, 18 * row + 1), -1);
        EXPECT_EQ(PointToColorIndex(100, 18 * row + 2), 5 + 16 * row);
        EXPECT_EQ(PointToColorIndex(100, 18 * row + 15), 5 + 16 * row);
        EXPECT_EQ(PointToColorIndex(100, 18 * row + 16), -1);
    }
    EXPECT_EQ(PointToColorIndex(5 * 18 + 9, 2 * 18 + 9), 37);
    EXPECT_EQ(PointToColorIndex(285, 2), 15);
    EXPECT_EQ(PointToColorIndex(286, 9), -1);
    EXPECT_EQ(PointToColorIndex(287, 9), -1);
    EXPECT_EQ(PointToColorIndex(INT_MAX, 9), -1);
    // Negative coordinates never reach a field; points below the picture do.
    EXPECT_EQ(PointToColorIndex(-9, 9), -1);
    EXPECT_EQ(PointToColorIndex(9, -9), -1);
    EXPECT_EQ(PointToColorIndex(INT_MIN, INT_MIN), -1);
    EXPECT_EQ(PointToColorIndex(9, 5 * 18 + 9), 80);
    EXPECT_EQ(PointToColorIndex(1 * 18 + 9, 6 * 18 + 9), 97);
}

TEST(PalettePicture, IndicesMapToTheColoursOfTheirFields)
{
    const QImage picture = PalettePicture();
    EXPECT_EQ(ColorIndexToColor(picture, 0), Rgb(0, 0, 0));
    EXPECT_EQ(ColorIndexToColor(picture, 15), Rgb(0, 0, 0));
    EXPECT_EQ(ColorIndexToColor(picture, 16), Rgb(199, 255, 0));
    EXPECT_EQ(ColorIndexToColor(picture, 47), Rgb(11, 0, 0));
    EXPECT_EQ(ColorIndexToColor(picture, 65), Rgb(219, 207, 175));
    EXPECT_EQ(ColorIndexToColor(picture, 79), Rgb(0, 7, 11));
    for (int outside : {-1, -16, -17, 80, 81, 255, INT_MIN, INT_MAX})
        EXPECT_EQ(ColorIndexToColor(picture, outside), InvalidColor) << outside;
    EXPECT_EQ(ColorIndexToColor(QImage(), 16), InvalidColor);

    // As shown, the frames (and cell 65, drawn in their colour) let the
    // window show through; the other fields are opaque.
    const QImage shown = WithTransparentFrames(picture);
    EXPECT_EQ(qAlpha(shown.pixel(0, 89)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(17, 40)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(1 * 18 + 9, 4 * 18 + 9)), 0);
    EXPECT_EQ(shown.pixel(0 * 18 + 9, 1 * 18 + 9), qRgb(199, 255, 0));
    EXPECT_EQ(shown.pixel(2 * 18 + 9, 4 * 18 + 9), picture.color(66));
}

} // namespace
