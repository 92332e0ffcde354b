// A game server's two answers: any bytes parse without fault, a level name
// never reaches past its packet, and no player name keeps a "|".

#include "serverinfo/serverinfopackets.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte splits the input into the level answer and the player answer.
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = std::min<std::size_t>(data[0], rest.size());
    const std::string_view levelPacket = rest.substr(0, split);
    const std::string_view playerPacket = rest.substr(split);

    if (const auto level = ParseLevelAnswer(levelPacket)) {
        if (levelPacket.size() < 5 || level->levelName.size() > levelPacket.size())
            std::abort();
        if (static_cast<unsigned char>(levelPacket[3]) != level->echoByte)
            std::abort();
        if (NamePacket(level->echoByte).size() != 30)
            std::abort();
    }
    for (const std::string& name : ParsePlayerAnswer(playerPacket)) {
        if (name.find('|') != std::string::npos || name.size() > playerPacket.size())
            std::abort();
    }
    return 0;
}
