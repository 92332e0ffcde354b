#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tcpclient.h"

// The outcome of asking a game server for its level and players.
struct ServerInfoResult {
    std::string levelName;                 // 8-bit text; empty until the level answer was read
    std::vector<std::string> playerNames;  // in the server's order, without us, without "|"
    bool failed = false;                   // the exchange broke off; playerNames is then empty
    std::exception_ptr networkError;       // the TcpError that broke it off, when one did
};

// How long a server may take. A server that accepts and then stays silent,
// or one that trickles its answers, must not hold the window for long. Zero
// sets no limit.
struct ServerInfoTimeouts {
    std::chrono::milliseconds inactivity = std::chrono::seconds(5);  // connecting, and each wait for bytes
    std::chrono::milliseconds overall = std::chrono::seconds(10);    // the whole exchange
};

// The connection used for the queries, kept for the program's life and
// opened anew by each query.
struct ServerInfoClient {
    TcpClient connection;
    ServerInfoTimeouts timeouts;
};

// Called with the level name as soon as the first answer has been read, while
// the player list is still to come.
using LevelNameReport = std::function<void(const std::string& levelName)>;

// Asks the game server at host:port (an address or a name) for its level and
// players, presenting us as a client of the server's version text (such as
// "1.21  "). Network failures, time-outs and a level answer too short to read
// are reported through `failed`, never thrown; the connection is closed
// whatever happens.
ServerInfoResult QueryServerInfo(ServerInfoClient& client, const std::string& host, std::uint16_t port,
                                 std::string_view serverVersion, const LevelNameReport& onLevelName = {});

// The game port of a server entry: decimal digits only, 1 to 65535.
std::optional<std::uint16_t> ParseGamePort(std::string_view text);
