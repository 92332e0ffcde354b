#pragma once

#include <QImage>
#include <QList>
#include <QRgb>

#include <array>
#include <cstdint>
#include <functional>

// Colours here are screen colours as the palette hands them out: 0x00BBGGRR,
// and InvalidColor (all bits set) for "no colour", drawn as black.

// The screen colour of a palette cell index (the palette window's
// ColorIndexToColor).
using PaletteColorOf = std::function<std::uint32_t(std::int64_t index)>;

// The 32 placeholder greys of the character pictures: entry k - 1 is
// RGB(k, k, k). Colour slot s (1 to 4) owns entries 8(s-1) .. 8s-1, shade j
// of it entry 8(s-1) + j.
using ColorSet = std::array<std::uint32_t, 32>;
ColorSet PlaceholderGreys();

// The ramp a colour value v stands for: the palette colours of v .. v + 7,
// light to dark.
std::array<std::uint32_t, 8> ColorRamp(std::int32_t value, const PaletteColorOf& colorOf);

// The colours that replace the placeholder greys for the four colour values.
ColorSet PreviewColors(const std::array<std::int32_t, 4>& values, const PaletteColorOf& colorOf);

// The colour as it is drawn: InvalidColor is black.
QRgb ShownColor(std::uint32_t color);

// A colour table in which each entry, for k = 0 .. 31 in turn, is replaced
// by newColors[k] wherever it equals oldColors[k] (so a later k sees what
// an earlier one put there).
QList<QRgb> SubstituteColors(QList<QRgb> table, const ColorSet& oldColors, const ColorSet& newColors);

// A copy of a character picture recoloured through its colour table (the
// pixels keep their indices), with every pixel of its bottom-left pixel's
// colour made transparent. A picture without a colour table cannot be
// recoloured and is shown as it is.
QImage RecoloredCharacter(const QImage& picture, const ColorSet& oldColors, const ColorSet& newColors);

// A colour swatch of `size`: the ramp as 8 stripes of 3 pixels, the first
// shade at the left, each over the whole height.
QImage SwatchImage(const std::array<std::uint32_t, 8>& ramp, QSize size);
