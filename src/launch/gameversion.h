#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The three game versions we can start, each with one executable setting.
enum class GameVersion { V121, V124, V124x };

inline constexpr std::array<GameVersion, 3> AllGameVersions{GameVersion::V121, GameVersion::V124,
                                                            GameVersion::V124x};

// Maps a server's six-character version text ("1.21  ", "1.24  ", "1.24 x") to
// its key by exact comparison; any other text has no key.
std::optional<GameVersion> VersionFromText(std::string_view serverVersion);

// The six-character server version text of a key.
std::string_view ServerVersionText(GameVersion version);

// The key's own name: "1.21", "1.24" or "1.24 x".
std::string_view GameVersionName(GameVersion version);

// The INI key that stores the key's executable path ("Zarn121", ...).
std::string_view GameVersionIniKey(GameVersion version);

// Reads the current executable path configured for a version (the window's
// edit text); empty means none is configured.
using ExecutableLookup = std::function<std::string(GameVersion)>;
