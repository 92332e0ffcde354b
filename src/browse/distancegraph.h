#pragma once

#include "browse/distancehistory.h"

class QPainter;
class QPalette;
class QRect;

// Draws a row's last results into area: one bar per echo, the newest at the
// right, as high as its round trip against a scale of round figures whose top
// is written at the top left; a lost echo is a bar of the full height in red.
// Works in the painter's own (device-independent) units, so it stays sharp at
// any scaling of the screen.
void PaintDistanceGraph(QPainter& painter, const QRect& area, const DistanceHistory& history,
                        const QPalette& palette);
