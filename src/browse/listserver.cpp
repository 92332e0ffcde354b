#include "browse/listserver.h"

#include "platform/int32text.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

namespace {

// Cuts R at the first separator: returns the text before it and leaves R
// after it. Without the separator the field is empty and R stays as it is.
std::string_view CutAt(std::string_view& rest, char separator)
{
    const std::size_t at = rest.find(separator);
    if (at == std::string_view::npos)
        return {};
    const std::string_view field = rest.substr(0, at);
    rest.remove_prefix(at + 1);
    return field;
}

// The version is normally six characters wide with a blank inside ("1.24 x"),
// so it cannot be cut at a blank. A short version ("1.3") is recognised by a
// blank right after the first dot.
std::string_view TakeVersion(std::string_view& rest)
{
    const std::size_t dot = rest.find('.');
    const std::size_t afterDot = dot == std::string_view::npos ? 0 : dot + 1;
    if (afterDot < rest.size() && rest[afterDot] == ' ') {
        const std::string_view version = rest.substr(0, afterDot);
        rest.remove_prefix(afterDot + 1);
        return version;
    }
    const std::string_view version = rest.substr(0, 6);
    // The seventh character is the separating blank.
    rest.remove_prefix(std::min<std::size_t>(7, rest.size()));
    return version;
}

std::string WithoutColourMarkers(std::string_view text)
{
    std::string clean;
    clean.reserve(text.size());
    for (const char c : text)
        if (c != '|')
            clean.push_back(c);
    return clean;
}

std::size_t CountLines(std::string_view answer)
{
    std::size_t lines = 0;
    for (std::size_t at = answer.find("\r\n"); at != std::string_view::npos; at = answer.find("\r\n", at + 2))
        ++lines;
    return lines;
}

}  // namespace

std::string FetchServerList(const std::string& host, const FetchOptions& options)
{
    TcpClient client;
    client.setInactivityTimeout(options.inactivityTimeout);
    client.setDeadline(std::chrono::steady_clock::now() + options.overallTimeout);
    client.setCancelSignal(options.cancel);
    client.connect(host, options.port);
    // The list server speaks first and only; we just listen until it closes.
    std::string answer = client.readUntilClose(options.maxBytes);
    client.close();
    if (CountLines(answer) > options.maxLines)
        throw TooManyServersError("the list server sent more than " + std::to_string(options.maxLines) + " lines");
    return answer;
}

std::vector<ServerEntry> ParseServerList(std::string_view answer)
{
    constexpr std::string_view lineEnd = "\r\n";
    std::vector<ServerEntry> entries;
    for (std::size_t end = answer.find(lineEnd); end != std::string_view::npos; end = answer.find(lineEnd)) {
        entries.push_back(ParseServerLine(answer.substr(0, end)));
        answer.remove_prefix(end + lineEnd.size());
    }
    return entries;
}

ServerEntry ParseServerLine(std::string_view line)
{
    std::string_view rest = line;
    ServerEntry entry;
    entry.ip = CutAt(rest, ':');
    entry.port = CutAt(rest, ' ');
    entry.extra = CutAt(rest, ' ');
    entry.mode = CutAt(rest, ' ');
    entry.type = CutAt(rest, ' ');
    entry.version = TakeVersion(rest);

    // A token that is no number is not consumed: it is then read as the
    // player count, as when a list server leaves the uptime out.
    const std::size_t blank = rest.find(' ');
    const std::string_view uptimeToken = blank == std::string_view::npos ? std::string_view{} : rest.substr(0, blank);
    if (const std::optional<std::int32_t> seconds = ParseInt32Text(uptimeToken)) {
        entry.uptime = FormatUptime(*seconds);
        rest.remove_prefix(blank + 1);
    }

    entry.players = CutAt(rest, ' ');
    entry.name = WithoutColourMarkers(rest);
    entry.distance = DistancePending;
    return entry;
}

std::string FormatUptime(std::int32_t seconds)
{
    // C++ division truncates toward zero, which is the wanted rounding.
    const int hours = seconds / 3600;
    const int minutes = (seconds / 60) % 60;
    const int secs = seconds % 60;
    char text[40];
    std::snprintf(text, sizeof text, "%2d:%2.2d:%2.2d", hours, minutes, secs);
    return text;
}
