#include "demo-servers/samplegames.h"

#include <array>
#include <charconv>
#include <vector>

namespace {

constexpr std::array<std::string_view, 9> Levels{
    "Bramble Keep",    "Mudpuddle Mines", "The Wobbly Bridge", "Gizzard Gulch", "Fernwhistle Falls",
    "Rattlebone Rift", "Puddingstone",    "Skyloft Scramble",  "Old Mill Maze",
};

// "|" marks a colour change, as the game writes names.
constexpr std::array<std::string_view, 16> Players{
    "|R|ed|Fox",  "Pip",          "Mossbeard", "|B|lue |J|ay", "Nettle",   "Captain Crumb", "||||",
    "Tinderbox", "|Wiggle|worm", "Marrow",    "Quill",        "|S|nout", "Bumble",        "Dapple",
    "|Gr|um|ble", "Hazel",
};

// A friend who plays on several servers: the first and the fifth of every
// fifty, so that a short demo list shows him on two.
constexpr std::string_view Friend = "|T|oadstool";
bool FriendPlaysOn(std::size_t index)
{
    return index % 50 == 0 || index % 50 == 4;
}

// Listed player counts are capped here: about what the player window shows,
// and what one answer packet holds.
constexpr int MaxPlayers = 10;

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const std::size_t space = line.find(' ');
        fields.push_back(line.substr(0, space));
        if (space == std::string_view::npos)
            break;
        line.remove_prefix(space + 1);
    }
    return fields;
}

std::optional<unsigned> Number(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The "players/capacity" count: the first field shaped like one.
int ListedPlayers(const std::vector<std::string_view>& fields)
{
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const std::size_t slash = fields[i].find('/');
        if (slash == std::string_view::npos)
            continue;
        const std::optional<unsigned> players = Number(fields[i].substr(0, slash));
        if (players && Number(fields[i].substr(slash + 1)))
            return static_cast<int>(std::min<unsigned>(*players, MaxPlayers));
    }
    return 3;
}

}  // namespace

std::optional<GameServerSetup> GameServerForLine(std::string_view line, std::size_t index)
{
    // ip ":" port " " extra " " mode " " type " " version(6) " " ...
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.empty())
        return std::nullopt;
    const std::size_t colon = fields[0].find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    GameServerSetup setup;
    setup.address = std::string(fields[0].substr(0, colon));
    const std::optional<unsigned> port = Number(fields[0].substr(colon + 1));
    if (!IsLoopbackAddress(setup.address) || !port || *port < 1 || *port > 65535)
        return std::nullopt;
    setup.port = static_cast<std::uint16_t>(*port);

    // The version follows the fourth space and may itself hold spaces.
    std::size_t versionStart = 0;
    for (int spaces = 0; spaces < 4 && versionStart != std::string_view::npos; ++spaces) {
        versionStart = line.find(' ', versionStart);
        if (versionStart != std::string_view::npos)
            ++versionStart;
    }
    if (versionStart != std::string_view::npos)
        setup.version = std::string(line.substr(versionStart, 6));

    setup.levelName = std::string(Levels[index % Levels.size()]);
    const int players = ListedPlayers(fields);
    for (int i = 0; i < players; ++i)
        setup.players.emplace_back(Players[(index * 3 + static_cast<std::size_t>(i)) % Players.size()]);
    if (FriendPlaysOn(index)) {
        if (setup.players.empty())
            setup.players.emplace_back();
        setup.players.front() = Friend;
    }
    return setup;
}
