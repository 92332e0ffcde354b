#pragma once

#include <QStringList>

// True when the command line only asks for --help or --version: those are
// answered without a window system, so they work in a terminal with no display.
bool AsksForHelpOrVersion(int argc, char** argv);

// Reads the program's command line. The settings file and the Wine prefix may
// be named as options; they are handed on as the environment variables the
// rest of the program (and the game started under Wine) already reads, so an
// option and its variable always mean the same. --help and --version print
// and end the program, as Qt's parser does.
void ApplyCommandLine(const QStringList& arguments);
