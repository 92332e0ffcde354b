#include "query/serverselection.h"

#include "query/terminaltext.h"

#include <algorithm>
#include <functional>

namespace {

bool Passes(const ListedServer& server, const ServerFilter& filter)
{
    if (filter.joinableOnly && !server.joinable)
        return false;
    const std::optional<PlayerCount> count = PlayersOf(server.entry);
    if (filter.notEmpty && !(count && count->players > 0))
        return false;
    if (filter.notFull && !(count && count->players < count->maxPlayers))
        return false;
    if (filter.gameVersion && WithoutPadding(server.entry.version) != WithoutPadding(*filter.gameVersion))
        return false;
    return !filter.nameContains
           || FromGameText(server.entry.name).contains(*filter.nameContains, Qt::CaseInsensitive);
}

// Sorts by a key that a server may lack: those without it go last.
template <typename Key, typename Before>
void SortBy(std::vector<ListedServer>& servers, std::function<std::optional<Key>(const ListedServer&)> key,
            Before before)
{
    std::ranges::stable_sort(servers, [&](const ListedServer& a, const ListedServer& b) {
        const std::optional<Key> keyA = key(a);
        const std::optional<Key> keyB = key(b);
        if (!keyA || !keyB)
            return keyA.has_value() && !keyB.has_value();
        return before(*keyA, *keyB);
    });
}

}  // namespace

std::vector<ListedServer> FilterServers(std::vector<ListedServer> servers, const ServerFilter& filter)
{
    std::erase_if(servers, [&](const ListedServer& server) { return !Passes(server, filter); });
    return servers;
}

void SortServers(std::vector<ListedServer>& servers, ServerOrder order)
{
    switch (order) {
    case ServerOrder::AsListed:
        return;
    case ServerOrder::Name:
        SortBy<QString>(
            servers, [](const ListedServer& s) { return std::optional(FromGameText(s.entry.name)); },
            [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        return;
    case ServerOrder::Players:
        SortBy<std::int32_t>(
            servers,
            [](const ListedServer& s) -> std::optional<std::int32_t> {
                const std::optional<PlayerCount> count = PlayersOf(s.entry);
                return count ? std::optional(count->players) : std::nullopt;
            },
            std::greater<>());
        return;
    case ServerOrder::Distance:
        SortBy<std::uint32_t>(
            servers, [](const ListedServer& s) { return s.distance.roundTripMs; }, std::less<>());
        return;
    case ServerOrder::Uptime:
        SortBy<std::int32_t>(
            servers, [](const ListedServer& s) { return UptimeSecondsOf(s.entry); }, std::greater<>());
        return;
    }
}
