#pragma once

#include <string>

// The list server the window would ask with the settings in iniPath: the
// stored choice when it is one of the offered list servers (in any letter
// case), else the first of them.
std::string ListServerFromSettings(const std::string& iniPath);
