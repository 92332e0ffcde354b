#include "browse/serverentry.h"

#include <stdexcept>

const std::string& ServerField(const ServerEntry& entry, int column)
{
    switch (column) {
    case ColName: return entry.name;
    case ColType: return entry.type;
    case ColVersion: return entry.version;
    case ColMode: return entry.mode;
    case ColPlayers: return entry.players;
    case ColDistance: return entry.distance;
    case ColUptime: return entry.uptime;
    case ColIp: return entry.ip;
    case ColPort: return entry.port;
    case ColExtra: return entry.extra;
    default: throw std::out_of_range("no such server column");
    }
}
