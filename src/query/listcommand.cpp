// `quimbrel-query list`: the list server's answer, chosen and sorted, with
// distances on request.
#include "query/commands.h"

#include "launch/joinable.h"
#include "net/echopermission.h"
#include "net/icmp.h"
#include "query/distances.h"
#include "query/executablesetting.h"
#include "query/exitcodes.h"
#include "query/listfetch.h"
#include "query/listoutput.h"
#include "query/terminaltext.h"

#include <QCoreApplication>

namespace {

// Measures every server, or leaves all distances empty, saying once why and
// how to allow them, when this system lets no echo request out.
bool MeasureDistancesOf(std::vector<ListedServer>& servers, int echoCount)
{
    std::vector<std::string> addresses;
    addresses.reserve(servers.size());
    for (const ListedServer& server : servers)
        addresses.push_back(server.entry.ip);
    std::vector<Distance> distances;
    try {
        distances = MeasureDistances(addresses, echoCount);
    } catch (const TICMPException& error) {
        if (EchoSocketsRefused())
            WriteError("listed without distances: this system lets no user send pings; allow them with "
                       "'sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"' or "
                       "'sudo setcap cap_net_raw+p "
                       + QCoreApplication::applicationFilePath().toStdString() + "'");
        else
            WriteError(std::string("listed without distances: ") + error.what());
        return false;
    }
    for (std::size_t i = 0; i < servers.size(); ++i)
        servers[i].distance = std::move(distances[i]);
    return true;
}

}  // namespace

int RunList(const ListRequest& request)
{
    auto fetched = FetchListOf(request);
    if (const int* exitCode = std::get_if<int>(&fetched))
        return *exitCode;
    auto& [settingsPath, host, entries] = std::get<FetchedList>(fetched);

    const ExecutablePaths executables = ExecutablesFromSettings(settingsPath);
    const ExecutableLookup executableFor = [&](GameVersion version) { return executables.at(version); };
    std::vector<ListedServer> servers;
    servers.reserve(entries.size());
    for (ServerEntry& entry : entries) {
        const bool joinable = IsJoinable(entry, executableFor);
        servers.push_back({std::move(entry), joinable, {}});
    }
    // Only the servers asked for are measured.
    servers = FilterServers(std::move(servers), request.filter);
    const bool measured = !request.ping || MeasureDistancesOf(servers, request.echoCount.value_or(1));
    SortServers(servers, request.order);

    const ListColumns columns{request.ping, request.echoCount.has_value()};
    WriteOutput(request.json ? ServerListJson(host, servers, columns) : ServerListLines(servers, columns));
    return measured ? ExitSuccess : ExitListedWithoutDistances;
}
