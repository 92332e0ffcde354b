#pragma once

// The program's title: names it on the task bar and captions every message box.
inline constexpr const char* kAppTitle = "The Quimbrel";
