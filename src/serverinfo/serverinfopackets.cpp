#include "serverinfo/serverinfopackets.h"

#include <algorithm>

namespace {

// Player records start with this many bytes that we do not read.
constexpr std::size_t RecordHeaderSize = 7;

// Drops up to count bytes from the front.
void DropFront(std::string_view& bytes, std::size_t count)
{
    bytes.remove_prefix(std::min(count, bytes.size()));
}

}  // namespace

std::string VersionPacket(std::string_view serverVersion)
{
    const std::string_view version = serverVersion == "1.21  " ? "21  " : "24  ";
    std::string packet{'\x09', '\x0F', '\x01', '\x04'};
    packet += version;
    packet += '\x01';
    return packet;
}

std::optional<LevelAnswer> ParseLevelAnswer(std::string_view packet)
{
    constexpr std::size_t echoOffset = 3;
    constexpr std::size_t lengthOffset = 4;
    constexpr std::size_t nameOffset = 5;
    if (packet.size() <= lengthOffset)
        return std::nullopt;
    LevelAnswer answer;
    answer.echoByte = static_cast<std::uint8_t>(packet[echoOffset]);
    const auto nameLength = static_cast<std::uint8_t>(packet[lengthOffset]);
    answer.levelName = std::string(packet.substr(nameOffset, nameLength));
    return answer;
}

std::string NamePacket(std::uint8_t echoByte)
{
    std::string packet{'\x1D', '\x0E', '\x01', static_cast<char>(echoByte), '\x01', '\0', '\0', '\0', '\0'};
    packet += OwnPlayerName;
    return packet;
}

std::vector<std::string> ParsePlayerAnswer(std::string_view packet)
{
    std::vector<std::string> names;
    std::string_view rest = packet;
    DropFront(rest, 1 + 2);  // the length byte, then two bytes we do not read
    while (!rest.empty()) {
        DropFront(rest, RecordHeaderSize);
        const std::size_t zero = rest.find('\0');
        // Without a zero byte the name is empty and nothing more is taken, so
        // the remaining bytes are read again as a further record.
        const std::string_view name = zero == std::string_view::npos ? std::string_view() : rest.substr(0, zero);
        if (name != OwnPlayerName)
            names.push_back(WithoutMarkers(name));
        if (zero != std::string_view::npos)
            DropFront(rest, zero + 1);
    }
    return names;
}

std::string WithoutMarkers(std::string_view name)
{
    std::string shown(name);
    std::erase(shown, '|');
    return shown;
}
