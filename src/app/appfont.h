#pragma once

// Every window uses an 11-pixel sans-serif; the fixed layouts are made for it.
// Where the classic faces are missing, stand-ins take their place: for the
// window font a narrow face, whose texts fit the fixed column widths and
// control sizes of the layout (a face of ordinary width cuts the longer
// uptimes of the server table).
void SetupApplicationFont();
