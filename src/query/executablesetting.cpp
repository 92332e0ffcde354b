#include "query/executablesetting.h"

#include "platform/inifile.h"
#include "platform/registry/registry.h"

ExecutablePaths ExecutablesFromSettings(const std::string& iniPath)
{
    ExecutablePaths executables;
    IniText ini;
    try {
        ini = IniFile(iniPath).Load();
    } catch (const IniReadError&) {
        // The window goes on with its defaults as well.
    }
    for (GameVersion version : AllGameVersions)
        executables[version] = ReadIniString(ini, "Config", std::string(GameVersionIniKey(version)), "");
    // A registry that cannot be used leaves the stored paths alone; the window
    // tells its user so, but the list is no worse for it.
    FindGameInstallations(Registry(Registry::DefaultPrefix()), executables);
    return executables;
}
