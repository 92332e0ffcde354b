#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <sys/types.h>
#include <vector>

// The Wine server of a prefix folder.
//
// While any Wine program of a prefix runs, its server holds the prefix's
// registry in memory and writes it back over the files later, undoing any
// change made to them meanwhile. The server works in a folder named after
// the prefix folder's device and inode numbers ("server-<dev>-<inode>"),
// which lies below a temporary folder that depends on how it was started,
// and keeps a lock on the file "lock" there for as long as it runs. So the
// server is the process of this user whose working folder has that name and
// whose "lock" is held, wherever that folder is.

// The processes that are the Wine server of `prefix`; usually one or none.
std::vector<pid_t> WineServerProcesses(const std::filesystem::path& prefix);

// Whether a Wine server is running for `prefix`.
bool WineServerRunning(const std::filesystem::path& prefix);

// Waits, at most `limit`, for the Wine server of `prefix` to end: once its
// last program has ended a server stays a few seconds before it goes.
// Calls `whileWaiting` (when given) between its looks. True when no server
// runs any more.
bool WaitForWineServerToEnd(const std::filesystem::path& prefix, std::chrono::milliseconds limit,
                            const std::function<void()>& whileWaiting);
