#pragma once

#include <string>

#include "browse/serverentry.h"

// The display options of the "Join a game" page. Windowed and full screen are
// one radio group, so exactly one of them is in effect.
struct LaunchOptions {
    bool spy = false;      // start with the game's spy window
    bool windowed = true;  // false: full screen
};

// The game's command line for joining the server: " -connect ip:port", then
// the spy and display switches. Address and port are used as they arrived.
std::string BuildGameParameters(const ServerEntry& entry, const LaunchOptions& options);
