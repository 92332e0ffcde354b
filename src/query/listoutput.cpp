#include "query/listoutput.h"

#include "query/terminaltext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

// The table's columns in its order, without the distance and the hidden extra.
struct Column {
    const char* jsonName;
    std::string ServerEntry::*field;
};
constexpr Column Columns[] = {
    {"name", &ServerEntry::name},       {"type", &ServerEntry::type},       {"version", &ServerEntry::version},
    {"mode", &ServerEntry::mode},       {"players", &ServerEntry::players}, {"uptime", &ServerEntry::uptime},
    {"ip", &ServerEntry::ip},           {"port", &ServerEntry::port},
};

}  // namespace

QByteArray ServerListLines(const std::vector<ServerEntry>& entries, const std::vector<Distance>& distances)
{
    QByteArray lines;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QStringList fields;
        for (const Column& column : Columns)
            fields << ForTerminal(FromGameText(entries[i].*column.field));
        if (!distances.empty())
            fields << QString::fromStdString(distances[i].text);
        lines += fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    return lines;
}

QByteArray ServerListJson(const std::string& host, const std::vector<ServerEntry>& entries,
                          const std::vector<Distance>& distances)
{
    QJsonArray servers;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QJsonObject server;
        for (const Column& column : Columns)
            server.insert(QLatin1String(column.jsonName), FromGameText(entries[i].*column.field));
        if (!distances.empty()) {
            server.insert(QLatin1String("distance"), QString::fromStdString(distances[i].text));
            const std::optional<std::uint32_t> roundTrip = distances[i].roundTripMs;
            server.insert(QLatin1String("roundTripMs"), roundTrip ? QJsonValue(static_cast<qint64>(*roundTrip))
                                                                   : QJsonValue(QJsonValue::Null));
        }
        servers.append(server);
    }
    QJsonObject document;
    document.insert(QLatin1String("listServer"), QString::fromStdString(host));
    document.insert(QLatin1String("servers"), servers);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}
