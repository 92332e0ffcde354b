#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "query/serverfields.h"

// Which servers `list` prints. A server whose players are not given as
// "N/M" passes neither player test, as it cannot be told to pass.
struct ServerFilter {
    bool joinableOnly = false;
    bool notEmpty = false;                   // at least one player
    bool notFull = false;                    // fewer players than places
    std::optional<std::string> gameVersion;  // without padding: "1.21", "1.24", "1.24 x"
    std::optional<QString> nameContains;     // in any letter case
};

// The order `list` prints the servers in; a server without the value sorted
// by comes after those with it, and ties keep the list server's order.
enum class ServerOrder {
    AsListed,
    Name,      // A to Z, in any letter case
    Players,   // the most players first
    Distance,  // the nearest first
    Uptime,    // the longest running first
};

// The servers that pass every test of the filter, in their order.
std::vector<ListedServer> FilterServers(std::vector<ListedServer> servers, const ServerFilter& filter);

void SortServers(std::vector<ListedServer>& servers, ServerOrder order);
