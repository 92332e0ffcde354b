#pragma once

#include <QImage>
#include <QString>

#include <vector>

// The three player characters, 48 x 48, 8 bits per pixel. The parts the
// player colours are drawn in the placeholder greys RGB(k, k, k): colour
// slot s (1 to 4) owns k = 8(s-1)+1 .. 8s, light to dark, so the program
// can swap a ramp of the palette into the colour table. The background is
// the colour of the bottom-left pixel.
struct CharacterPicture {
    QString fileName;
    QImage image;
};

std::vector<CharacterPicture> DrawCharacters();
