#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// Where a Windows path ("C:\Games\Zarn 2\zarn2.exe", as the game's
// installations record them) lies in a Wine prefix: its drive letter names a
// link in the prefix's "dosdevices" folder. Nothing for paths without a drive.
std::optional<std::filesystem::path> UnixPathForWindowsPath(const std::filesystem::path& winePrefix,
                                                            std::string_view windowsPath);
