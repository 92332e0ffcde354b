// The server-info exchange against our demo game servers on loopback,
// including servers that misbehave.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "demo-servers/demogameserver.h"
#include "serverinfo/serverinfoquery.h"

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr const char* Loopback = "127.0.0.1";
using Names = std::vector<std::string>;

GameServerSetup Bramble(GameAnswer answer = GameAnswer::Complete, std::string version = "1.24  ")
{
    GameServerSetup setup;
    setup.address = Loopback;
    setup.version = std::move(version);
    setup.levelName = "Bramble Keep";
    setup.players = {"|R|ed|Fox", "Pip", "||||"};
    setup.answer = answer;
    return setup;
}

// A loopback port with nobody listening (free a moment ago).
std::uint16_t UnusedPort()
{
    TcpService probe(Loopback, 0, [](ServiceConnection&) {});
    const std::uint16_t port = probe.port();
    probe.stop();
    return port;
}

// Runs a query and notes every level name reported on the way.
struct Query {
    ServerInfoClient client;
    Names reported;

    ServerInfoResult Run(std::uint16_t port, std::string_view version = "1.24  ", const std::string& host = Loopback)
    {
        return QueryServerInfo(client, host, port, version, [this](const std::string& level) {
            // Reported before the player list is asked for.
            EXPECT_TRUE(client.connection.isOpen());
            reported.push_back(level);
        });
    }
};

}  // namespace

TEST(QueryServerInfo, ReadsLevelAndPlayersLeavingUsOut)
{
    DemoGameServer server(Bramble());
    Query query;
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);  // the client is reused, and each connection has its own echo byte
        const ServerInfoResult result = query.Run(server.port());
        EXPECT_FALSE(result.failed);
        EXPECT_EQ(result.levelName, "Bramble Keep");
        EXPECT_EQ(result.playerNames, (Names{"RedFox", "Pip", ""}));
        EXPECT_FALSE(query.client.connection.isOpen());
    }
    EXPECT_EQ(query.reported, (Names{"Bramble Keep", "Bramble Keep"}));
    EXPECT_EQ(server.connectionsAccepted(), 2u);
}

TEST(QueryServerInfo, PresentsItselfInTheServersGameVersion)
{
    // Our game servers hang up on a client of another version.
    DemoGameServer old(Bramble(GameAnswer::Complete, "1.21  "));
    DemoGameServer extended(Bramble(GameAnswer::Complete, "1.24 x"));
    Query query;
    EXPECT_FALSE(query.Run(old.port(), "1.21  ").failed);
    EXPECT_TRUE(query.Run(old.port(), "1.21").failed);
    EXPECT_FALSE(query.Run(extended.port(), "1.24 x").failed);
    EXPECT_TRUE(query.Run(extended.port(), "1.21  ").failed);
}

TEST(QueryServerInfo, FailureKeepsOnlyALevelNameThatWasRead)
{
    {
        Query query;
        const ServerInfoResult refused = query.Run(UnusedPort());
        EXPECT_TRUE(refused.failed);
        EXPECT_EQ(refused.levelName, "");
        EXPECT_TRUE(query.reported.empty());
        EXPECT_TRUE(query.Run(10052, "1.24  ", "no-game-server.tumblewick.invalid").failed);
    }
    {
        DemoGameServer server(Bramble(GameAnswer::CloseAfterLevel));
        Query query;
        const ServerInfoResult result = query.Run(server.port());
        EXPECT_TRUE(result.failed);
        EXPECT_EQ(result.levelName, "Bramble Keep");
        EXPECT_TRUE(result.playerNames.empty());
        EXPECT_EQ(query.reported, Names{"Bramble Keep"});
        EXPECT_FALSE(query.client.connection.isOpen());
    }
    for (const GameAnswer tooShort : {GameAnswer::ShortLevel, GameAnswer::LevelLength0, GameAnswer::LevelLength1}) {
        SCOPED_TRACE(GameAnswerName(tooShort));
        DemoGameServer server(Bramble(tooShort));
        Query query;
        const ServerInfoResult result = query.Run(server.port());
        EXPECT_TRUE(result.failed);
        EXPECT_EQ(result.levelName, "");
        EXPECT_TRUE(query.reported.empty());
        EXPECT_FALSE(query.client.connection.isOpen());
    }
}

TEST(QueryServerInfo, OddPlayerAnswersAreNoFailure)
{
    for (const GameAnswer empty : {GameAnswer::PlayersLength0, GameAnswer::PlayersLength1}) {
        SCOPED_TRACE(GameAnswerName(empty));
        DemoGameServer server(Bramble(empty));
        Query query;
        const ServerInfoResult result = query.Run(server.port());
        EXPECT_FALSE(result.failed);
        EXPECT_EQ(result.levelName, "Bramble Keep");
        EXPECT_TRUE(result.playerNames.empty());
    }
    // Our own record lost its zero byte: its 7 + 21 bytes read as four empty names.
    DemoGameServer server(Bramble(GameAnswer::UnterminatedPlayers));
    Query query;
    const ServerInfoResult result = query.Run(server.port());
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.playerNames, (Names{"RedFox", "Pip", "", "", "", "", ""}));
}

TEST(QueryServerInfo, SilentServerFailsOnceTheWaitRunsOut)
{
    DemoGameServer server(Bramble(GameAnswer::Silent));
    Query query;
    query.client.timeouts.inactivity = 300ms;
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(query.Run(server.port()).failed);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 250ms);
    EXPECT_LT(took, 3s);
    EXPECT_EQ(server.connectionsAccepted(), 1u);

    // Without a limit per wait, the limit on the whole exchange ends it.
    query.client.timeouts = {.inactivity = 0ms, .overall = 400ms};
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(query.Run(server.port()).failed);
    took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 350ms);
    EXPECT_LT(took, 3s);
}

TEST(ParseGamePort, TakesDecimalPortNumbersOnly)
{
    EXPECT_EQ(ParseGamePort("10052"), 10052);
    EXPECT_EQ(ParseGamePort("1"), 1);
    EXPECT_EQ(ParseGamePort("65535"), 65535);
    EXPECT_EQ(ParseGamePort("010060"), 10060);
    for (const char* bad : {"", "0", "65536", "4294977348", "99999999999999999999999", "-1", "+10052", " 10052",
                            "10052 ", "0x2744", "$2744", "1e4", "10.5", "port"})
        EXPECT_EQ(ParseGamePort(bad), std::nullopt) << '"' << bad << '"';
}
