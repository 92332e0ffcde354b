#pragma once

#include <string>
#include <vector>

#include <QByteArray>

#include "query/serverfields.h"

// The columns beyond a server's own fields.
struct ListColumns {
    bool distance = false;     // each server's distance was measured
    bool echoFigures = false;  // and its figures over several echoes are wanted
};

// The servers as lines of tab-separated fields, without the padding of the
// table's columns: name, type, version, mode, players, uptime, ip, port;
// then distance; then min, avg and max in milliseconds and loss in percent.
QByteArray ServerListLines(const std::vector<ListedServer>& servers, const ListColumns& columns);

// The same as one JSON document, {"listServer": host, "servers": [...]},
// with typed values beside the texts.
QByteArray ServerListJson(const std::string& host, const std::vector<ListedServer>& servers,
                          const ListColumns& columns);
