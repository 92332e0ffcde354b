#include "launch/gameversion.h"

std::optional<GameVersion> VersionFromText(std::string_view serverVersion)
{
    for (GameVersion version : AllGameVersions) {
        if (serverVersion == ServerVersionText(version))
            return version;
    }
    return std::nullopt;
}

std::string_view ServerVersionText(GameVersion version)
{
    switch (version) {
    case GameVersion::V121: return "1.21  ";
    case GameVersion::V124: return "1.24  ";
    case GameVersion::V124x: return "1.24 x";
    }
    return {};
}

std::string_view GameVersionName(GameVersion version)
{
    switch (version) {
    case GameVersion::V121: return "1.21";
    case GameVersion::V124: return "1.24";
    case GameVersion::V124x: return "1.24 x";
    }
    return {};
}

std::string_view GameVersionIniKey(GameVersion version)
{
    switch (version) {
    case GameVersion::V121: return "Zarn121";
    case GameVersion::V124: return "Zarn124";
    case GameVersion::V124x: return "Zarn124x";
    }
    return {};
}
