#include "palette.h"

#include <array>

namespace {

constexpr int CellSize = 18;
constexpr int Frame = 2;
constexpr int Columns = 16;
constexpr int Rows = 5;
constexpr int FrameEntry = 65;

struct Rgb {
    int r, g, b;
};

// Eight shades from light to dark, evenly spaced.
void Ramp(QList<QRgb>& table, int first, Rgb light, Rgb dark)
{
    for (int j = 0; j < 8; ++j)
        table[first + j] = qRgb(light.r + (dark.r - light.r) * j / 7, light.g + (dark.g - light.g) * j / 7,
                                light.b + (dark.b - light.b) * j / 7);
}

QList<QRgb> GamePalette()
{
    QList<QRgb> table(256, qRgb(0, 0, 0));
    table[0] = qRgb(0, 255, 0);
    table[1] = qRgb(0, 0, 0);
    for (int i = 2; i < 16; ++i) // greys, unused by the cells
        table[i] = qRgb(i * 17, i * 17, i * 17);

    Ramp(table, 16, {199, 255, 0}, {0, 11, 0});    // leaf green
    Ramp(table, 24, {255, 0, 0}, {11, 0, 0});      // red
    Ramp(table, 32, {187, 227, 255}, {0, 7, 11});  // sky blue
    Ramp(table, 40, {255, 243, 96}, {11, 9, 0});   // yellow
    Ramp(table, 48, {247, 151, 255}, {9, 0, 11});  // violet
    Ramp(table, 56, {255, 187, 96}, {11, 5, 0});   // orange
    Ramp(table, 64, {239, 231, 207}, {13, 10, 6}); // sand
    table[FrameEntry] = qRgb(219, 207, 175);         // its second shade frames the cells
    Ramp(table, 72, {211, 231, 255}, {7, 7, 11});  // steel

    // The rest of the 256 entries: more ramps the cells do not show.
    const std::array<std::pair<Rgb, Rgb>, 22> extra{{
        {{255, 207, 223}, {11, 0, 4}}, {{207, 255, 231}, {0, 11, 6}}, {{231, 215, 255}, {5, 0, 11}},
        {{255, 231, 207}, {11, 6, 0}}, {{207, 247, 255}, {0, 9, 11}}, {{239, 255, 207}, {7, 11, 0}},
        {{255, 127, 127}, {11, 2, 2}}, {{127, 255, 127}, {2, 11, 2}}, {{127, 127, 255}, {2, 2, 11}},
        {{255, 255, 127}, {11, 11, 2}}, {{255, 127, 255}, {11, 2, 11}}, {{127, 255, 255}, {2, 11, 11}},
        {{223, 191, 159}, {10, 7, 4}},  {{191, 223, 159}, {7, 10, 4}},  {{159, 191, 223}, {4, 7, 10}},
        {{223, 159, 191}, {10, 4, 7}},  {{191, 159, 223}, {7, 4, 10}},  {{159, 223, 191}, {4, 10, 7}},
        {{255, 255, 255}, {36, 36, 36}}, {{240, 224, 208}, {30, 24, 18}}, {{208, 224, 240}, {18, 24, 30}},
        {{224, 240, 208}, {24, 30, 18}},
    }};
    for (std::size_t i = 0; i < extra.size(); ++i)
        Ramp(table, 80 + 8 * static_cast<int>(i), extra[i].first, extra[i].second);
    return table;
}

// The palette entry a cell's field shows: its own, except for the cells the
// game leaves black or fills with a neighbouring ramp's shade.
int FieldEntry(int cell)
{
    if (cell < 16)
        return 1;
    switch (cell) {
    case 46: return 30;
    case 47: return 31;
    case 56:
    case 57:
    case 58: return 1;
    case 63: return 31;
    case 71: return 31;
    case 79: return 39;
    default: return cell;
    }
}

} // namespace

QImage DrawPalette()
{
    QImage image(Columns * CellSize, Rows * CellSize, QImage::Format_Indexed8);
    image.setColorTable(GamePalette());
    image.fill(FrameEntry);
    for (int cell = 0; cell < Columns * Rows; ++cell) {
        const int left = (cell % Columns) * CellSize;
        const int top = (cell / Columns) * CellSize;
        for (int y = Frame; y < CellSize - Frame; ++y) {
            uchar* line = image.scanLine(top + y);
            for (int x = Frame; x < CellSize - Frame; ++x)
                line[left + x] = static_cast<uchar>(FieldEntry(cell));
        }
    }
    return image;
}
