#pragma once

// Every window uses an 11-pixel sans-serif; the fixed layouts are made for it.
// Where the classic faces are missing, metric-compatible ones stand in.
void SetupApplicationFont();
