#pragma once

#include <filesystem>

// Whether a Wine server is running for the prefix folder `prefix`.
//
// While any Wine program of a prefix runs, its server holds the prefix's
// registry in memory and writes it back over the files later, undoing any
// change made to them meanwhile. The server keeps a lock on the file "lock"
// in its folder for as long as it runs. That folder is named after the
// prefix folder's device and inode numbers, below "/tmp/.wine-<uid>", or, in
// Debian's Wine, below the temporary folder under a name that the file
// "wineserver" in the prefix records.
bool WineServerRunning(const std::filesystem::path& prefix);
