#include "platform/winepaths.h"

#include <cctype>
#include <string>

std::optional<std::filesystem::path> UnixPathForWindowsPath(const std::filesystem::path& winePrefix,
                                                            std::string_view windowsPath)
{
    if (windowsPath.size() < 2 || !std::isalpha(static_cast<unsigned char>(windowsPath[0])) ||
        windowsPath[1] != ':')
        return std::nullopt;
    const std::string drive{static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0]))), ':'};
    std::filesystem::path unixPath = winePrefix / "dosdevices" / drive;
    std::string part;
    for (const char c : windowsPath.substr(2)) {
        if (c == '\\' || c == '/') {
            if (!part.empty())
                unixPath /= part;
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        unixPath /= part;
    return unixPath;
}
