#include "query/serverfields.h"

#include "platform/int32text.h"
#include "serverinfo/serverinfoquery.h"

#include <array>

namespace {

// A count as a player count is written: decimal digits only.
std::optional<std::int32_t> CountOf(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return ParseInt32Text(text);
}

}  // namespace

std::optional<PlayerCount> PlayersOf(const ServerEntry& entry)
{
    const std::string_view text = entry.players;
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::optional<std::int32_t> players = CountOf(text.substr(0, slash));
    const std::optional<std::int32_t> maxPlayers = CountOf(text.substr(slash + 1));
    if (!players || !maxPlayers)
        return std::nullopt;
    return PlayerCount{*players, *maxPlayers};
}

std::optional<std::int32_t> UptimeSecondsOf(const ServerEntry& entry)
{
    // Hours, minutes and seconds, each signed: negative counts are written
    // with a minus on every part ("-1:-02:-05").
    std::string_view rest = WithoutPadding(entry.uptime);
    std::array<std::int64_t, 3> parts{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t colon = i + 1 < parts.size() ? rest.find(':') : rest.size();
        if (colon == std::string_view::npos)
            return std::nullopt;
        const std::optional<std::int32_t> part = ParseInt32Text(rest.substr(0, colon));
        if (!part)
            return std::nullopt;
        parts[i] = *part;
        rest.remove_prefix(std::min(colon + 1, rest.size()));
    }
    const std::int64_t seconds = parts[0] * 3600 + parts[1] * 60 + parts[2];
    if (seconds < INT32_MIN || seconds > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(seconds);
}

std::optional<std::uint16_t> PortOf(const ServerEntry& entry)
{
    return ParseGamePort(entry.port);
}

std::string_view WithoutPadding(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
