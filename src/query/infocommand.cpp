// `quimbrel-query info`: a game server's level and players.
#include "query/commands.h"

#include "query/exitcodes.h"
#include "query/terminaltext.h"
#include "serverinfo/serverinfoquery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray PlainLine(const std::string& text)
{
    return ForTerminal(FromGameText(text)).toUtf8() + '\n';
}

QByteArray InfoJson(const InfoRequest& request, const ServerInfoResult& result)
{
    QJsonArray players;
    for (const std::string& name : result.playerNames)
        players.append(FromGameText(name));
    QJsonObject document;
    document.insert(QLatin1String("server"),
                    QString::fromStdString(request.host + ":" + std::to_string(request.port)));
    document.insert(QLatin1String("levelName"), FromGameText(result.levelName));
    document.insert(QLatin1String("playerNames"), players);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

}  // namespace

int RunInfo(const InfoRequest& request)
{
    ServerInfoClient client;  // with the window's time-outs: 5 s without a byte, 10 s in all
    // Plain output shows the level as soon as it is known, as the window
    // does; a JSON document is written only whole.
    const ServerInfoResult result =
        QueryServerInfo(client, request.host, request.port, request.version, [&](const std::string& levelName) {
            if (!request.json)
                WriteOutput(PlainLine(levelName));
        });
    if (result.failed) {
        WriteError("Error getting Playerlist");
        return ExitFailure;
    }

    if (request.json) {
        WriteOutput(InfoJson(request, result));
    } else {
        QByteArray lines;
        for (const std::string& name : result.playerNames)
            lines += PlainLine(name);
        WriteOutput(lines);
    }
    return ExitSuccess;
}
