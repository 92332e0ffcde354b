#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The packets of the server-info exchange with a game server. Every packet
// starts with a length byte; in received packets it counts the whole packet,
// itself included. These are pure functions over bytes: received packets are
// passed whole, length byte first, exactly as they were read.

// The name we announce: 21 bytes, compared byte for byte with the names the
// server lists, so that we can leave ourselves out.
inline constexpr std::string_view OwnPlayerName{"|Qu|im|br|el 1.2   \xA7" "9", 21};

// A received packet is at most this long: its length byte cannot count more.
inline constexpr std::size_t MaxReceivedPacketSize = 255;

// The 9-byte packet that opens the exchange: it presents us as a client of
// the server's game version ("1.21  " exactly, or else 1.24).
std::string VersionPacket(std::string_view serverVersion);

// What the first answer tells.
struct LevelAnswer {
    std::uint8_t echoByte = 0;  // offset 3, sent back in the name packet
    std::string levelName;
};

// Reads the level answer. A name longer than the packet is cut at the
// packet's end. An answer too short to hold offsets 3 and 4 gives nothing.
std::optional<LevelAnswer> ParseLevelAnswer(std::string_view packet);

// The 30-byte packet that announces OwnPlayerName. Its length byte holds 29:
// that is what servers expect.
std::string NamePacket(std::uint8_t echoByte);

// The names in the second answer, in packet order, our own left out and
// every "|" removed. Any bytes give a result: a record without its zero byte
// reads as an empty name for every run of up to 7 bytes.
std::vector<std::string> ParsePlayerAnswer(std::string_view packet);

// The name as shown: every "|" (which marks a colour change) removed.
std::string WithoutMarkers(std::string_view name);
