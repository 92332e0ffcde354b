#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include <QStringList>

#include "query/serverselection.h"

// `quimbrel-query list [HOST]`
struct ListRequest {
    std::optional<std::string> host;  // none: the settings file's list server
    std::uint16_t port = 0;
    std::optional<std::string> settingsPath;  // none: the usual settings file
    bool ping = false;
    std::optional<int> echoCount;  // --count: echoes per server, with their figures; else one
    bool json = false;
    ServerFilter filter;
    ServerOrder order = ServerOrder::AsListed;
};

// `quimbrel-query info HOST:PORT`
struct InfoRequest {
    std::string host;
    std::uint16_t port = 0;
    std::string version;  // six characters, as the list gives it
    bool json = false;
};

// `quimbrel-query find [NAME] [HOST]`
struct FindRequest {
    QString name;                     // empty: every player
    std::optional<std::string> host;  // none: the settings file's list server
    std::uint16_t port = 0;
    std::optional<std::string> settingsPath;
    bool json = false;
};

// The command line could not be used; the text says why.
struct UsageError {
    std::string message;
};

using QueryRequest = std::variant<ListRequest, InfoRequest, FindRequest, UsageError>;

// Reads the command line (program name first). --help and --version print
// their text and end the program, as Qt's parser does.
QueryRequest ParseQueryArguments(const QStringList& arguments);
