#pragma once

// The exit statuses of quimbrel-query, so that scripts can tell the causes apart.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitFailure = 1,                // the game server did not answer, or another failure
    ExitBadInput = 2,               // the command line cannot be used
    ExitListServerUnreachable = 3,  // no list could be fetched
    ExitListedWithoutDistances = 4, // the list is printed, but echo requests cannot be sent
    ExitListTooLong = 5,            // the list server sent more servers (or bytes) than are taken
    ExitNobodyFound = 6,            // find: no listed server has a player of that name
};
