#include "serverinfo/serverinfoquery.h"

#include "serverinfo/serverinfopackets.h"

#include <algorithm>
#include <charconv>

namespace {

// One received packet, length byte first: the length byte counts itself, so
// a length of 0 or 1 means nothing follows.
std::string ReadPacket(TcpClient& connection)
{
    std::string packet = connection.readExactly(1);
    const auto length = static_cast<std::uint8_t>(packet[0]);
    if (length > 1)
        packet += connection.readExactly(length - 1u);
    return packet;
}

// Closes the connection however the query ends.
class ClosesOnExit {
public:
    explicit ClosesOnExit(TcpClient& connection) : connection_(connection) {}
    ~ClosesOnExit() { connection_.close(); }
    ClosesOnExit(const ClosesOnExit&) = delete;
    ClosesOnExit& operator=(const ClosesOnExit&) = delete;

private:
    TcpClient& connection_;
};

}  // namespace

ServerInfoResult QueryServerInfo(ServerInfoClient& client, const std::string& host, std::uint16_t port,
                                 std::string_view serverVersion, const LevelNameReport& onLevelName)
{
    ServerInfoResult result;
    TcpClient& connection = client.connection;
    const ClosesOnExit closer(connection);
    try {
        connection.setInactivityTimeout(client.timeouts.inactivity);
        const auto overall = client.timeouts.overall;
        connection.setDeadline(overall > overall.zero()
                                   ? std::optional(std::chrono::steady_clock::now() + overall)
                                   : std::nullopt);
        connection.connect(host, port);
        connection.sendAll(VersionPacket(serverVersion));

        const std::optional<LevelAnswer> level = ParseLevelAnswer(ReadPacket(connection));
        if (!level) {
            result.failed = true;
            return result;
        }
        result.levelName = level->levelName;
        if (onLevelName)
            onLevelName(result.levelName);

        connection.sendAll(NamePacket(level->echoByte));
        const std::string playerAnswer = ReadPacket(connection);
        connection.close();
        result.playerNames = ParsePlayerAnswer(playerAnswer);
    } catch (const TcpError&) {
        result.failed = true;
        result.networkError = std::current_exception();
    }
    return result;
}

std::optional<std::uint16_t> ParseGamePort(std::string_view text)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}
