#include "query/listserversetting.h"

#include "app/listservers.h"
#include "platform/inifile.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

}  // namespace

std::string ListServerFromSettings(const std::string& iniPath)
{
    const std::string stored = IniFile(iniPath).ReadString("Config", "ListServer", kListServerHosts[0]);
    for (const char* host : kListServerHosts)
        if (SameIgnoringCase(stored, host))
            return host;
    return kListServerHosts[0];
}
