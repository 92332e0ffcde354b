#pragma once

#include "launch/gameversion.h"

#include "platform/registry/registry_error.h"

#include <map>
#include <optional>
#include <string>

class Registry;

// The executable settings by version, as the "Config" page's edits hold
// them; a missing or empty entry means that none is configured.
using ExecutablePaths = std::map<GameVersion, std::string>;

// Fills empty settings from the game's installation records, the subkeys of
// HKEY_LOCAL_MACHINE "\Software\Krell Playware" whose names begin with
// "Zarn Tumblewick 2". An installation whose "Version" begins with "1.24"
// fills the 1.24 setting, any other the 1.21 setting; the 1.24 x setting is
// never filled. The path is "InstallDir" followed directly by "zarn2.exe".
// The first installation found wins, and a setting that already holds text
// is kept. Registry trouble (an unreadable registry file, a value that is not
// text) ends the scan, keeping what it filled so far. The one trouble worth
// telling the user, a registry file that cannot be used at all, is returned.
std::optional<RegistryFileError> FindGameInstallations(const Registry& registry, ExecutablePaths& executables);
