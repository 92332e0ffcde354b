#include "query/listoutput.h"

#include "query/terminaltext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>

namespace {

QString Unpadded(const std::string& text)
{
    const std::string_view trimmed = WithoutPadding(text);
    return FromGameText(std::string(trimmed));
}

template <typename Number>
QJsonValue JsonNumber(const std::optional<Number>& value)
{
    return value ? QJsonValue(static_cast<double>(*value)) : QJsonValue(QJsonValue::Null);
}

// Averages and shares to a tenth, as a ping user reads them.
std::optional<double> Tenths(std::optional<double> value)
{
    if (!value)
        return std::nullopt;
    return std::round(*value * 10.0) / 10.0;
}

template <typename Number>
QString Figure(const std::optional<Number>& value)
{
    return value ? QString::number(static_cast<double>(*value)) : QString();
}

}  // namespace

QByteArray ServerListLines(const std::vector<ListedServer>& servers, const ListColumns& columns)
{
    QByteArray lines;
    for (const ListedServer& server : servers) {
        const ServerEntry& entry = server.entry;
        QStringList fields;
        for (const std::string* text : {&entry.name, &entry.type, &entry.version, &entry.mode, &entry.players,
                                        &entry.uptime, &entry.ip, &entry.port})
            fields << ForTerminal(Unpadded(*text));
        const Distance& distance = server.distance;
        if (columns.distance)
            fields << QString::fromStdString(distance.text);
        if (columns.echoFigures) {
            const std::optional<double> loss = LossPercent(distance);
            fields << Figure(FastestMs(distance)) << Figure(Tenths(AverageMs(distance))) << Figure(SlowestMs(distance))
                   << (loss ? QString::number(std::lround(*loss)) + QLatin1Char('%') : QString());
        }
        lines += fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    return lines;
}

QByteArray ServerListJson(const std::string& host, const std::vector<ListedServer>& servers,
                          const ListColumns& columns)
{
    QJsonArray list;
    for (const ListedServer& server : servers) {
        const ServerEntry& entry = server.entry;
        const std::optional<PlayerCount> players = PlayersOf(entry);
        QJsonObject json{
            {"name", FromGameText(entry.name)},
            {"type", FromGameText(entry.type)},
            {"version", Unpadded(entry.version)},
            {"versionText", FromGameText(entry.version)},
            {"mode", FromGameText(entry.mode)},
            {"players", players ? QJsonValue(players->players) : QJsonValue(QJsonValue::Null)},
            {"maxPlayers", players ? QJsonValue(players->maxPlayers) : QJsonValue(QJsonValue::Null)},
            {"playersText", FromGameText(entry.players)},
            {"uptime", Unpadded(entry.uptime)},
            {"uptimeSeconds", JsonNumber(UptimeSecondsOf(entry))},
            {"ip", FromGameText(entry.ip)},
            {"port", JsonNumber(PortOf(entry))},
            {"portText", FromGameText(entry.port)},
            {"joinable", server.joinable},
        };
        const Distance& distance = server.distance;
        if (columns.distance) {
            json.insert(QLatin1String("distanceText"), QString::fromStdString(distance.text));
            json.insert(QLatin1String("distanceMs"), JsonNumber(distance.roundTripMs));
        }
        if (columns.echoFigures) {
            json.insert(QLatin1String("sent"), distance.sent);
            json.insert(QLatin1String("received"), static_cast<qint64>(distance.roundTrips.size()));
            json.insert(QLatin1String("lossPercent"), JsonNumber(Tenths(LossPercent(distance))));
            json.insert(QLatin1String("minMs"), JsonNumber(FastestMs(distance)));
            json.insert(QLatin1String("avgMs"), JsonNumber(Tenths(AverageMs(distance))));
            json.insert(QLatin1String("maxMs"), JsonNumber(SlowestMs(distance)));
        }
        list.append(json);
    }
    QJsonObject document;
    document.insert(QLatin1String("listServer"), QString::fromStdString(host));
    document.insert(QLatin1String("servers"), list);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}
