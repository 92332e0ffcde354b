#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The Windows programs that keep the Wine server of `prefix` running, by
// file name ("Zarn.exe"), each once, in the order they were found. Wine's
// own background programs, which end with the last of the others, are left
// out. Empty when no server runs or none of its programs can be seen.
//
// A Wine program talks to its server through pipes that both keep open, so
// the programs are the Wine processes of this user that share a pipe with
// the server.
std::vector<std::string> WineProgramsOfPrefix(const std::filesystem::path& prefix);
