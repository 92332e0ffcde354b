#include "profiles/playeredit/colorpreview.h"

#include <algorithm>

namespace {

constexpr std::uint32_t Invalid = 0xFFFFFFFFu;
constexpr int StripeWidth = 3;

// Colour tables compare by colour; alpha plays no part.
bool SameColor(QRgb entry, std::uint32_t color)
{
    return color != Invalid && (entry & 0x00FFFFFFu) == (ShownColor(color) & 0x00FFFFFFu);
}

} // namespace

ColorSet PlaceholderGreys()
{
    ColorSet greys{};
    for (std::uint32_t k = 1; k <= greys.size(); ++k)
        greys[k - 1] = k * 65793u;
    return greys;
}

std::array<std::uint32_t, 8> ColorRamp(std::int32_t value, const PaletteColorOf& colorOf)
{
    std::array<std::uint32_t, 8> ramp{};
    for (int j = 0; j < 8; ++j)
        ramp[j] = colorOf(static_cast<std::int64_t>(value) + j);
    return ramp;
}

ColorSet PreviewColors(const std::array<std::int32_t, 4>& values, const PaletteColorOf& colorOf)
{
    ColorSet colors{};
    for (std::size_t slot = 0; slot < values.size(); ++slot) {
        const std::array<std::uint32_t, 8> ramp = ColorRamp(values[slot], colorOf);
        for (std::size_t j = 0; j < ramp.size(); ++j)
            colors[8 * slot + j] = ramp[j];
    }
    return colors;
}

QRgb ShownColor(std::uint32_t color)
{
    if (color == Invalid)
        return qRgb(0, 0, 0);
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QList<QRgb> SubstituteColors(QList<QRgb> table, const ColorSet& oldColors, const ColorSet& newColors)
{
    for (QRgb& entry : table) {
        for (std::size_t k = 0; k < oldColors.size(); ++k) {
            if (SameColor(entry, oldColors[k]))
                entry = ShownColor(newColors[k]);
        }
    }
    return table;
}

QImage RecoloredCharacter(const QImage& picture, const ColorSet& oldColors, const ColorSet& newColors)
{
    if (picture.isNull())
        return picture;
    QImage copy = picture;
    if (copy.colorCount() > 0)
        copy.setColorTable(SubstituteColors(copy.colorTable(), oldColors, newColors));
    else
        copy = copy.convertToFormat(QImage::Format_ARGB32);

    // Drawn transparently: the bottom-left pixel's colour is not drawn.
    const QRgb background = copy.pixel(0, copy.height() - 1) & 0x00FFFFFFu;
    if (copy.colorCount() > 0) {
        QList<QRgb> table = copy.colorTable();
        for (QRgb& entry : table) {
            if ((entry & 0x00FFFFFFu) == background)
                entry = qRgba(0, 0, 0, 0);
        }
        copy.setColorTable(table);
        return copy;
    }
    for (int y = 0; y < copy.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == background)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return copy;
}

QImage SwatchImage(const std::array<std::uint32_t, 8>& ramp, QSize size)
{
    QImage swatch(size, QImage::Format_RGB32);
    swatch.fill(Qt::black);
    for (int x = 0; x < std::min<int>(size.width(), StripeWidth * static_cast<int>(ramp.size())); ++x) {
        const QRgb color = ShownColor(ramp[static_cast<std::size_t>(x / StripeWidth)]);
        for (int y = 0; y < size.height(); ++y)
            swatch.setPixel(x, y, color);
    }
    return swatch;
}
