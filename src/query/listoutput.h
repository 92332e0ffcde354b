#pragma once

#include <string>
#include <vector>

#include <QByteArray>

#include "browse/serverentry.h"
#include "query/distances.h"

// The servers as lines of tab-separated fields: name, type, version, mode,
// players, uptime, ip, port, and the distance when distances were measured
// (one per entry, or none at all).
QByteArray ServerListLines(const std::vector<ServerEntry>& entries, const std::vector<Distance>& distances);

// The same as one JSON document: {"listServer": host, "servers": [...]}.
QByteArray ServerListJson(const std::string& host, const std::vector<ServerEntry>& entries,
                          const std::vector<Distance>& distances);
