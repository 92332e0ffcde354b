#pragma once

#include <string>

#include <sys/types.h>

// What became of a start request. The started program runs on in its own
// session; nobody waits for it.
struct StartResult {
    pid_t pid = -1;  // the started process (the launcher for Windows programs)
    int error = 0;   // errno of the failure; 0 when the program is running

    bool started() const { return error == 0; }
};

// Starts a program by path with a parameter string and returns as soon as the
// program is running, without waiting for it to end.
//
// The parameter string is split at blanks into the program's arguments (runs
// of blanks give no empty arguments); no shell ever sees it, so its text
// reaches the program literally. The path is always one argument. Programs
// whose name ends in ".exe" (any letter case) start through the Windows
// launcher: the one named by the WINE environment variable, or "wine" found
// on PATH. The program inherits the current directory.
//
// A program that cannot be started is not an error for the caller: the
// reason goes to standard error as one line and into the result.
StartResult StartProgram(const std::string& path, const std::string& parameters);
