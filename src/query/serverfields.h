#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "browse/serverentry.h"
#include "query/distances.h"

// One listed server with what the tool adds to the list server's line.
struct ListedServer {
    ServerEntry entry;
    bool joinable = false;  // as the window decides it with the settings' executables
    Distance distance;      // measured only on request
};

// The typed values behind a server's texts, for scripts. Each is none when
// its text is not of the usual form.
struct PlayerCount {
    std::int32_t players = 0;
    std::int32_t maxPlayers = 0;
};
std::optional<PlayerCount> PlayersOf(const ServerEntry& entry);          // "7/8"
std::optional<std::int32_t> UptimeSecondsOf(const ServerEntry& entry);   // " 1:02:05" is 3725
std::optional<std::uint16_t> PortOf(const ServerEntry& entry);           // 1 to 65535

// A text without the blanks that pad it to its column ("1.24  " is "1.24").
std::string_view WithoutPadding(std::string_view text);
