// `quimbrel-query info`: a game server's level and players.
#include "query/commands.h"

#include "platform/tcpclient.h"
#include "query/exitcodes.h"
#include "query/failurereason.h"
#include "query/terminaltext.h"
#include "serverinfo/serverinfoquery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr char InfoFailed[] = "Error getting Playerlist";

QByteArray PlainLine(const std::string& text)
{
    return ForTerminal(FromGameText(text)).toUtf8() + '\n';
}

// A hang-up is told by when it came.
std::string HungUp(bool levelRead)
{
    return levelRead ? "closed after the level answer" : "closed before the level answer";
}

// Why the exchange broke off.
std::string InfoFailureReason(const InfoRequest& request, const ServerInfoClient& client,
                              const ServerInfoResult& result, bool levelRead,
                              std::chrono::steady_clock::duration elapsed)
{
    if (!result.networkError)
        return "the level answer is too short to read";
    try {
        std::rethrow_exception(result.networkError);
    } catch (const TcpClosedError&) {
        return HungUp(levelRead);
    } catch (const TcpResetError&) {
        // Our name packet, arriving after the server closed, draws a reset.
        return HungUp(levelRead);
    } catch (...) {
    }
    return FailureReason(result.networkError, request.host,
                         {client.timeouts.inactivity, client.timeouts.overall}, elapsed);
}

// What was read: the level once its answer came (null before), the players
// once theirs did (null when the exchange broke off first).
QByteArray InfoJson(const InfoRequest& request, const ServerInfoResult& result, bool levelRead,
                    const std::string& failure)
{
    QJsonValue players(QJsonValue::Null);
    if (!result.failed) {
        QJsonArray names;
        for (const std::string& name : result.playerNames)
            names.append(FromGameText(name));
        players = names;
    }
    QJsonObject document;
    document.insert(QLatin1String("server"),
                    QString::fromStdString(request.host + ":" + std::to_string(request.port)));
    document.insert(QLatin1String("levelName"),
                    levelRead ? QJsonValue(FromGameText(result.levelName)) : QJsonValue(QJsonValue::Null));
    document.insert(QLatin1String("playerNames"), players);
    if (result.failed) {
        document.insert(QLatin1String("error"), QLatin1String(InfoFailed));
        document.insert(QLatin1String("reason"), QString::fromStdString(failure));
    }
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

}  // namespace

int RunInfo(const InfoRequest& request)
{
    ServerInfoClient client;  // with the window's time-outs: 5 s without a byte, 10 s in all
    bool levelRead = false;
    const auto started = std::chrono::steady_clock::now();
    // Plain output shows the level as soon as it is known, as the window
    // does; a JSON document is written only whole.
    const ServerInfoResult result =
        QueryServerInfo(client, request.host, request.port, request.version, [&](const std::string& levelName) {
            levelRead = true;
            if (!request.json)
                WriteOutput(PlainLine(levelName));
        });

    std::string failure;
    if (result.failed) {
        failure = InfoFailureReason(request, client, result, levelRead, std::chrono::steady_clock::now() - started);
        WriteError(InfoFailed);
        WriteError(failure);
    }
    if (request.json) {
        WriteOutput(InfoJson(request, result, levelRead, failure));
    } else if (!result.failed) {
        QByteArray lines;
        for (const std::string& name : result.playerNames)
            lines += PlainLine(name);
        WriteOutput(lines);
    }
    return result.failed ? ExitFailure : ExitSuccess;
}
