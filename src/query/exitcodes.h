#pragma once

// The exit statuses of quimbrel-query, so that scripts can tell the causes apart.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitFailure = 1,                // the game server did not answer, or another failure
    ExitBadInput = 2,               // the command line cannot be used
    ExitListServerUnreachable = 3,  // no list could be fetched
    ExitNoEchoService = 4,          // distances were asked for but echo requests cannot be sent
};
