#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "browse/serverentry.h"
#include "launch/gameparameters.h"
#include "launch/gameversion.h"

// Shown by the window when the server's version has no executable configured.
inline constexpr std::string_view kNoExecutableMessage =
    "No executeable configured for this version";

enum class LaunchOutcome {
    Started,       // the start was requested; whether the game runs is not checked
    NoExecutable,  // nothing configured for the server's version; nothing started
};

// Starts a program with a parameter string and does not wait for it.
using ProgramStarter = std::function<void(const std::string& path, const std::string& parameters)>;

// The real starter: hands the program to the system and ignores the result
// (a path that cannot be started is only noted on standard error).
void StartProgramDetached(const std::string& path, const std::string& parameters);

// The configured executable for a server's version text: the 1.21 and 1.24 x
// versions have their own, 1.24 and every version we do not know use 1.24's.
// Empty when none is configured.
std::string ExecutableForServer(std::string_view serverVersion, const ExecutableLookup& executableFor);

// Starts the game for the selected server with the current options and
// executables.
LaunchOutcome LaunchGame(const ServerEntry& entry, const LaunchOptions& options,
                         const ExecutableLookup& executableFor,
                         const ProgramStarter& start = StartProgramDetached);
