// `quimbrel-query list`: the list server's answer, with distances on request.
#include "query/commands.h"

#include "browse/listserver.h"
#include "net/icmp.h"
#include "platform/inifile.h"
#include "platform/tcpclient.h"
#include "query/distances.h"
#include "query/exitcodes.h"
#include "query/listoutput.h"
#include "query/listserversetting.h"
#include "query/terminaltext.h"

int RunList(const ListRequest& request)
{
    const std::string host =
        request.host ? *request.host : ListServerFromSettings(request.settingsPath.value_or(DefaultIniPath()));

    std::vector<ServerEntry> entries;
    try {
        // The window's limits: 30 s without a byte, 60 s for the whole answer.
        FetchOptions options;
        options.port = request.port;
        entries = ParseServerList(FetchServerList(host, options));
    } catch (const TcpError& error) {
        WriteError(std::string("Error connecting to listserver (") + error.what() + ")");
        return ExitListServerUnreachable;
    }

    std::vector<Distance> distances;
    if (request.ping) {
        std::vector<std::string> addresses;
        addresses.reserve(entries.size());
        for (const ServerEntry& entry : entries)
            addresses.push_back(entry.ip);
        try {
            distances = MeasureDistances(addresses);
        } catch (const TICMPException& error) {
            WriteError(std::string(error.what()) + ": distances need root, CAP_NET_RAW or net.ipv4.ping_group_range");
            return ExitNoEchoService;
        }
    }

    WriteOutput(request.json ? ServerListJson(host, entries, distances) : ServerListLines(entries, distances));
    return ExitSuccess;
}
