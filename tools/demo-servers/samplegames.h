#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "demo-servers/demogameserver.h"

// The game server behind one list-server line: its address and port from the
// line's start, its version from the line, and a sample level and as many
// sample players as the line's "players/capacity" field says (index picks
// which ones; one name recurs on several servers, for finding a friend).
// Lines without a loopback "address:port" start have no game server we may
// run.
std::optional<GameServerSetup> GameServerForLine(std::string_view line, std::size_t index);
