#include "characters.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int Size = 48;

// Colour-table entries. 1 to 32 are the placeholder greys.
enum Entry : uchar {
    Background = 0,
    Outline = 33,
    White = 34,
    Pupil = 35,
    Skin = 36,
    Hair = 37,
    Mouth = 38,
    Metal = 39,
};

QList<QRgb> ColorTable()
{
    QList<QRgb> table(40);
    table[Background] = qRgb(0, 96, 128);
    for (int k = 1; k <= 32; ++k)
        table[k] = qRgb(k, k, k);
    table[Outline] = qRgb(0, 0, 0);
    table[White] = qRgb(255, 255, 255);
    table[Pupil] = qRgb(24, 24, 48);
    table[Skin] = qRgb(246, 208, 166);
    table[Hair] = qRgb(112, 58, 30);
    table[Mouth] = qRgb(132, 24, 36);
    table[Metal] = qRgb(156, 160, 170);
    return table;
}

// What a shape is filled with: one of the four colour slots, shaded by the
// light falling on it, or a fixed entry.
struct Paint {
    int slot = 0;
    uchar entry = Background;
};
Paint Slot(int slot) { return {slot, Background}; }
Paint Fixed(uchar entry) { return {0, entry}; }

// The shade (0 light .. 7 dark) of a surface whose normal leans (nx, ny)
// towards the viewer's right and down, lit from the upper left.
int Shade(double nx, double ny)
{
    const double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
    const double lx = -0.55, ly = -0.65, lz = 0.55;
    const double length = std::sqrt(lx * lx + ly * ly + lz * lz);
    const double light = (nx * lx + ny * ly + nz * lz) / length;
    return std::clamp(static_cast<int>((1.0 - light) * 4.0), 0, 7);
}

class Canvas {
public:
    Canvas() : pixels_(Size * Size, Background) {}

    void Ellipse(double cx, double cy, double rx, double ry, Paint paint)
    {
        ForEachPixel([&](int x, int y) {
            const double nx = (x + 0.5 - cx) / rx, ny = (y + 0.5 - cy) / ry;
            if (nx * nx + ny * ny <= 1.0)
                Put(x, y, paint, nx, ny);
        });
    }

    // A bar, shaded as a rounded rod lying along its longer side.
    void Bar(int x0, int y0, int x1, int y1, Paint paint)
    {
        const double cx = (x0 + x1) / 2.0, cy = (y0 + y1) / 2.0;
        const bool lying = x1 - x0 >= y1 - y0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const double across = lying ? (y + 0.5 - cy) / ((y1 - y0) / 2.0) : (x + 0.5 - cx) / ((x1 - x0) / 2.0);
                Put(x, y, paint, lying ? 0.2 : across * 0.9, lying ? across * 0.9 : 0.2);
            }
        }
    }

    // A band around an ellipse-shaped body, rows y0 .. y1 - 1, shaded with
    // the body's curve so that it wraps around it.
    void Band(double cx, double cy, double rx, double ry, int y0, int y1, Paint paint)
    {
        for (int y = y0; y < y1; ++y) {
            for (int x = 0; x < Size; ++x) {
                const double nx = (x + 0.5 - cx) / rx, ny = (y + 0.5 - cy) / ry;
                if (nx * nx + ny * ny <= 1.0)
                    Put(x, y, paint, nx, ny);
            }
        }
    }

    void Dot(int x, int y, uchar entry) { Put(x, y, Fixed(entry), 0, 0); }

    // A dark line around the figure, where it meets the background.
    void DrawOutline()
    {
        std::vector<uchar> outlined = pixels_;
        ForEachPixel([&](int x, int y) {
            if (At(x, y) != Background)
                return;
            const bool touches = At(x - 1, y) > Background || At(x + 1, y) > Background
                                 || At(x, y - 1) > Background || At(x, y + 1) > Background;
            if (touches)
                outlined[y * Size + x] = Outline;
        });
        pixels_ = outlined;
    }

    QImage Image() const
    {
        QImage image(Size, Size, QImage::Format_Indexed8);
        image.setColorTable(ColorTable());
        for (int y = 0; y < Size; ++y)
            std::copy_n(&pixels_[y * Size], Size, image.scanLine(y));
        return image;
    }

private:
    template <typename Visit>
    void ForEachPixel(Visit visit) const
    {
        for (int y = 0; y < Size; ++y)
            for (int x = 0; x < Size; ++x)
                visit(x, y);
    }

    // Outside the picture counts as background; the outline never adds to
    // another outline.
    int At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= Size || y >= Size)
            return Background;
        const uchar entry = pixels_[y * Size + x];
        return entry == Outline ? -1 : entry;
    }

    void Put(int x, int y, Paint paint, double nx, double ny)
    {
        if (x < 0 || y < 0 || x >= Size || y >= Size)
            return;
        pixels_[y * Size + x] =
            paint.slot ? static_cast<uchar>(8 * (paint.slot - 1) + 1 + Shade(nx, ny)) : paint.entry;
    }

    std::vector<uchar> pixels_;
};

// Round and bouncy: body (1), headband with flying ends (2), blaster (3),
// wristband (4).
QImage DrawZarn()
{
    Canvas c;
    c.Ellipse(17, 43.5, 5, 3, Slot(1));
    c.Ellipse(30, 43.5, 5, 3, Slot(1));
    c.Ellipse(23, 28, 14, 15, Slot(1));
    c.Band(23, 28, 14, 15, 16, 20, Slot(2));
    c.Ellipse(8.5, 16.5, 4.5, 2, Slot(2));
    c.Ellipse(6.5, 21, 4.5, 2, Slot(2));
    c.Ellipse(20, 25, 3, 4, Fixed(White));
    c.Ellipse(28, 25, 3, 4, Fixed(White));
    c.Ellipse(21, 26, 1.4, 2, Fixed(Pupil));
    c.Ellipse(29, 26, 1.4, 2, Fixed(Pupil));
    for (int x : {21, 27})
        c.Dot(x, 33, Mouth);
    for (int x = 22; x <= 26; ++x)
        c.Dot(x, 34, Mouth);
    c.Bar(34, 29, 46, 33, Slot(3));
    c.Bar(37, 33, 41, 39, Slot(3));
    c.Bar(45, 28, 48, 34, Fixed(Metal));
    c.Bar(31, 31, 35, 37, Slot(4));
    c.Ellipse(37.5, 34, 3, 2.5, Slot(1));
    c.DrawOutline();
    return c.Image();
}

// Long-eared and two-toned: blaster (1), body (2), shoes and wristband (3),
// belly and inner ears (4).
QImage DrawPock()
{
    Canvas c;
    c.Ellipse(16, 9, 3, 7, Slot(2));
    c.Ellipse(31, 9, 3, 7, Slot(2));
    c.Ellipse(16, 10, 1.4, 4.5, Slot(4));
    c.Ellipse(31, 10, 1.4, 4.5, Slot(4));
    c.Bar(16, 36, 21, 43, Slot(2));
    c.Bar(27, 36, 32, 43, Slot(2));
    c.Ellipse(17, 44, 6, 3, Slot(3));
    c.Ellipse(31, 44, 6, 3, Slot(3));
    c.Ellipse(23.5, 26, 12, 14, Slot(2));
    c.Ellipse(23.5, 30, 7, 8.5, Slot(4));
    c.Ellipse(19.5, 20, 2.5, 3, Fixed(White));
    c.Ellipse(27.5, 20, 2.5, 3, Fixed(White));
    c.Ellipse(20, 21, 1.2, 1.6, Fixed(Pupil));
    c.Ellipse(28, 21, 1.2, 1.6, Fixed(Pupil));
    c.Ellipse(23.5, 24.5, 1.6, 1.1, Fixed(Pupil));
    c.Bar(3, 27, 15, 31, Slot(1));
    c.Bar(9, 31, 13, 37, Slot(1));
    c.Bar(1, 26, 4, 32, Fixed(Metal));
    c.Bar(13, 30, 16, 36, Slot(3));
    c.Ellipse(11, 32.5, 3, 2.5, Slot(2));
    c.DrawOutline();
    return c.Image();
}

// Slim, with a heavy two-part blaster: colour 1 is unused, blaster barrel
// (2), blaster tank and grip (3), suit (4).
QImage DrawVani()
{
    Canvas c;
    c.Ellipse(21, 14, 9, 9.5, Fixed(Hair));
    c.Bar(16, 18, 27, 27, Fixed(Hair));
    c.Ellipse(21.5, 14.5, 6.5, 7, Fixed(Skin));
    c.Ellipse(21.5, 8.5, 7.5, 3.5, Fixed(Hair));
    c.Dot(19, 14, Pupil);
    c.Dot(19, 15, Pupil);
    c.Dot(24, 14, Pupil);
    c.Dot(24, 15, Pupil);
    for (int x = 21; x <= 22; ++x)
        c.Dot(x, 18, Mouth);
    c.Bar(20, 21, 24, 23, Fixed(Skin));
    c.Bar(17, 35, 21, 45, Slot(4));
    c.Bar(23, 35, 27, 45, Slot(4));
    c.Ellipse(18.5, 45.5, 3.5, 1.5, Slot(4));
    c.Ellipse(25.5, 45.5, 3.5, 1.5, Slot(4));
    c.Ellipse(22, 30, 7, 9.5, Slot(4));
    c.Bar(27, 24, 45, 29, Slot(2));
    c.Bar(29, 29, 37, 35, Slot(3));
    c.Bar(38, 22, 42, 31, Slot(3));
    c.Bar(44, 23, 47, 30, Fixed(Metal));
    c.Ellipse(29, 30.5, 2.5, 2.5, Fixed(Skin));
    c.DrawOutline();
    return c.Image();
}

} // namespace

std::vector<CharacterPicture> DrawCharacters()
{
    return {
        {QStringLiteral("Zarn.bmp"), DrawZarn()},
        {QStringLiteral("Pock.bmp"), DrawPock()},
        {QStringLiteral("Vani.bmp"), DrawVani()},
    };
}
