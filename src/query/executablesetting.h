#pragma once

#include <string>

#include "launch/installations.h"

// The game executables the window would start with the settings in iniPath:
// each version's stored path, else the one of the game's installation found
// in the Wine prefix ($WINEPREFIX, else ~/.wine), as the window fills its
// empty settings at start.
ExecutablePaths ExecutablesFromSettings(const std::string& iniPath);
