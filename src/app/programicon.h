#pragma once

#include <QIcon>

// The program's icon, drawn by tools/draw-art at build time.
QIcon ProgramIcon();
