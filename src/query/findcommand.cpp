// `quimbrel-query find`: which listed servers have a player of that name.
#include "query/commands.h"

#include "query/exitcodes.h"
#include "query/listfetch.h"
#include "query/terminaltext.h"
#include "serverinfo/playersearch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <mutex>

namespace {

// Every server that the window would let a player ask: none that is private.
std::vector<ServerEntry> AskableServers(std::vector<ServerEntry> entries)
{
    std::erase_if(entries, [](const ServerEntry& entry) { return entry.mode == "private"; });
    return entries;
}

QString Address(const ServerEntry& entry)
{
    return QString::fromStdString(entry.ip + ":" + entry.port);
}

// One player found, as a line: player, server, address:port, level.
QByteArray FoundLine(const std::string& player, const ServerEntry& entry, const std::string& level)
{
    const QStringList fields{ForTerminal(FromGameText(player)), ForTerminal(FromGameText(entry.name)),
                             ForTerminal(Address(entry)), ForTerminal(FromGameText(level))};
    return fields.join(QLatin1Char('\t')).toUtf8() + '\n';
}

QJsonObject FoundJson(const std::string& player, const ServerEntry& entry, const std::string& level)
{
    QJsonObject found;
    found.insert(QLatin1String("player"), FromGameText(player));
    found.insert(QLatin1String("server"), FromGameText(entry.name));
    found.insert(QLatin1String("address"), Address(entry));
    found.insert(QLatin1String("ip"), QString::fromStdString(entry.ip));
    found.insert(QLatin1String("port"), QString::fromStdString(entry.port).toInt());
    found.insert(QLatin1String("level"), FromGameText(level));
    return found;
}

// What the workers have told so far; they report one at a time.
struct FindTally {
    std::mutex mutex;
    std::size_t answered = 0;
    std::size_t failed = 0;
    std::size_t found = 0;
    QJsonArray players;  // for --json only
};

}  // namespace

int RunFind(const FindRequest& request)
{
    auto fetched = FetchListOf(request);
    if (const int* exitCode = std::get_if<int>(&fetched))
        return *exitCode;
    const std::string& host = std::get<FetchedList>(fetched).host;
    const std::vector<ServerEntry> entries = AskableServers(std::move(std::get<FetchedList>(fetched).entries));

    std::vector<SearchServer> servers;
    servers.reserve(entries.size());
    for (const ServerEntry& entry : entries)
        servers.push_back({entry.ip, entry.port, entry.version});

    FindTally tally;
    PlayerSearch::Reports reports;
    reports.answered = [&](ServerSearchResult result) {
        const ServerEntry& entry = entries[result.server];
        const std::lock_guard lock(tally.mutex);
        ++(result.failed ? tally.failed : tally.answered);
        tally.found += result.players.size();
        QByteArray lines;
        for (const std::string& player : result.players) {
            if (request.json)
                tally.players.append(FoundJson(player, entry, result.levelName));
            else
                lines += FoundLine(player, entry, result.levelName);
        }
        // Each match is printed as it comes, whole lines at a time.
        if (!lines.isEmpty())
            WriteOutput(lines);
    };
    // The window's time limits: 5 s without a byte, 10 s for a whole exchange.
    PlayerSearch search(std::move(servers), PlayerNameFilter(request.name), ServerInfoClient().timeouts, reports);
    search.Start();
    search.Wait();

    const std::string summary = std::to_string(entries.size()) + " servers asked, " +
                                std::to_string(tally.answered) + " answered, " + std::to_string(tally.failed) +
                                " failed";
    if (request.json) {
        QJsonObject counts;
        counts.insert(QLatin1String("asked"), static_cast<qint64>(entries.size()));
        counts.insert(QLatin1String("answered"), static_cast<qint64>(tally.answered));
        counts.insert(QLatin1String("failed"), static_cast<qint64>(tally.failed));
        QJsonObject document;
        document.insert(QLatin1String("listServer"), QString::fromStdString(host));
        document.insert(QLatin1String("name"), request.name);
        document.insert(QLatin1String("servers"), counts);
        document.insert(QLatin1String("players"), tally.players);
        WriteOutput(QJsonDocument(document).toJson(QJsonDocument::Indented));
    }
    if (tally.found == 0) {
        WriteError("nobody found (" + summary + ")");
        return ExitNobodyFound;
    }
    if (tally.failed > 0)
        WriteError(summary);
    return ExitSuccess;
}
