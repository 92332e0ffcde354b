#pragma once

#include <string>

// One running game server as the list server reports it, and one row of the
// server table. Every text is kept byte for byte as it arrived (8-bit text, no
// code-page conversion, no trimming); only uptime and distance are ours.
struct ServerEntry {
    std::string name;
    std::string type;
    std::string version;  // six characters, e.g. "1.24  " or "1.24 x"
    std::string mode;
    std::string players;
    std::string distance;
    std::string uptime;
    std::string ip;
    std::string port;
    std::string extra;

    bool operator==(const ServerEntry&) const = default;
};

// Column numbers of the server table; sub-item index = column - 1.
enum ServerColumn {
    ColName = 0,
    ColType,
    ColVersion,
    ColMode,
    ColPlayers,
    ColDistance,
    ColUptime,
    ColIp,
    ColPort,
    ColExtra,
    ServerColumnCount
};

// The text shown in a column of a row.
const std::string& ServerField(const ServerEntry& entry, int column);
