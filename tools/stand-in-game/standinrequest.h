#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the stand-in was asked to show: the game version it plays, and the
// command line the game would have been given.
struct StandInRequest {
    QString version;
    QString commandLine;
};

// Reads "--stands-for VERSION" followed by the game's own arguments (the
// program name first, as in argv). Without a version there is nothing to
// stand in for.
std::optional<StandInRequest> ParseStandInArguments(const QStringList& arguments);
