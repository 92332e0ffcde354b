#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "browse/serverentry.h"
#include "platform/inifile.h"
#include "query/listserversetting.h"

// The list server's entries, or the exit status after the failure has been
// told on standard error ("Error connecting to listserver" and why).
std::variant<std::vector<ServerEntry>, int> FetchEntriesOrTell(const std::string& host, std::uint16_t port);

// The list as a command fetched it, with where from and the settings file
// that named the list server.
struct FetchedList {
    std::string settingsPath;
    std::string host;
    std::vector<ServerEntry> entries;
};

// The list of the list server a request names (its host, else the one of its
// settings file), or the exit status after the failure has been told.
template <typename Request>
std::variant<FetchedList, int> FetchListOf(const Request& request)
{
    FetchedList list;
    list.settingsPath = request.settingsPath.value_or(DefaultIniPath());
    list.host = request.host ? *request.host : ListServerFromSettings(list.settingsPath);
    auto fetched = FetchEntriesOrTell(list.host, request.port);
    if (const int* exitCode = std::get_if<int>(&fetched))
        return *exitCode;
    list.entries = std::move(std::get<std::vector<ServerEntry>>(fetched));
    return list;
}
