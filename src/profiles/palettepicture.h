#pragma once

#include <QImage>

#include <cstdint>

// The game palette's picture, our own drawing of it (see tools/draw-art):
// 16 x 5 cells of 18 x 18 pixels, each a 2-pixel frame around the 14 x 14
// field of one palette colour. Cell k = column + 16 x row.

constexpr int PaletteCellSize = 18;
constexpr int PaletteColumns = 16;
constexpr int PaletteWidth = PaletteColumns * PaletteCellSize;  // 288
constexpr int PaletteHeight = 5 * PaletteCellSize;              // 90

// Screen colours are 0x00BBGGRR: red in the lowest byte, then green, blue.
// This one, all bits set, means "no colour" and is drawn as black.
constexpr std::uint32_t InvalidColor = 0xFFFFFFFFu;

// The picture as the program ships it.
QImage PalettePicture();

// The cell under a point of the picture, or -1 on a frame or at x >= 286.
// Division truncates toward zero and y has no upper bound, so points below
// the picture in a field column give 80 or more.
int PointToColorIndex(int x, int y);

// The colour in the middle of cell `index`'s field, or InvalidColor where
// that lies outside the picture (every index below 0 or from 80 on).
std::uint32_t ColorIndexToColor(const QImage& picture, int index);

// The picture as it is shown: every pixel of the bottom-left pixel's colour
// (the frames) transparent, so the frames show the window behind.
QImage WithTransparentFrames(const QImage& picture);
