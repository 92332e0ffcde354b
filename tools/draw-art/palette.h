#pragma once

#include <QImage>

// The game palette's picture: 16 x 5 cells of 18 x 18 pixels on a 288 x 90,
// 8-bit picture whose colour table is the game's 256-colour palette. Each
// cell has a 2-pixel frame in entry 65 around a 14 x 14 field showing the
// palette entry of the cell's index (with a few cells showing another).
QImage DrawPalette();
