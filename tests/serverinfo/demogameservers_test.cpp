// Our demo game servers: one behind every listed sample server, answering on
// that server's own address and port, misbehaving where told to.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "browse/listserver.h"
#include "demo-servers/demolistserver.h"
#include "demo-servers/gameservers.h"
#include "demo-servers/samplegames.h"
#include "demo-servers/samplelist.h"
#include "serverinfo/serverinfopackets.h"
#include "serverinfo/serverinfoquery.h"

using namespace std::chrono_literals;

namespace {

// A loopback port with nobody listening (free a moment ago).
std::uint16_t UnusedPort(const std::string& address)
{
    TcpService probe(address, 0, [](ServiceConnection&) {});
    const std::uint16_t port = probe.port();
    probe.stop();
    return port;
}

std::string Line(const std::string& address, std::uint16_t port, const std::string& version, const char* players)
{
    return address + ":" + std::to_string(port) + " s1 public Battle " + version + " 60 " + players + " Demo";
}

}  // namespace

TEST(SampleGameServers, MatchTheListedServers)
{
    const std::vector<std::string> lines = SampleServerLines(12);
    const std::vector<ServerEntry> entries = ParseServerList(ListAnswerBytes(lines));
    bool anyMarkers = false, anyEmpty = false, anyCrowd = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        const std::optional<GameServerSetup> setup = GameServerForLine(lines[i], i);
        ASSERT_TRUE(setup);
        EXPECT_EQ(setup->address, entries[i].ip);
        EXPECT_EQ(std::to_string(setup->port), entries[i].port);
        EXPECT_EQ(setup->version, entries[i].version);
        EXPECT_FALSE(setup->levelName.empty());
        // As many players as listed, as far as the window has room for them.
        const std::size_t listed = std::stoul(entries[i].players);
        EXPECT_EQ(setup->players.size(), std::min<std::size_t>(listed, 10));
        for (const std::string& player : setup->players)
            anyMarkers |= player.find('|') != std::string::npos;
        anyEmpty |= setup->players.empty();
        anyCrowd |= setup->players.size() >= 5;
    }
    EXPECT_TRUE(anyMarkers);
    EXPECT_TRUE(anyEmpty);
    EXPECT_TRUE(anyCrowd);
}

TEST(SampleGameServers, OnlyLoopbackAddressesWithAPortGetOne)
{
    for (const char* line : {"192.0.2.1:10052 s1 public Battle 1.24   60 1/8 Away", "127.0.0.1 s1 public", "",
                             "127.0.0.1:0 s1 public Battle 1.24   60 1/8 x", "127.0.0.1:70000 s1",
                             "localhost:10052 s1 public Battle 1.24   60 1/8 x"})
        EXPECT_FALSE(GameServerForLine(line, 0)) << line;
    const std::optional<GameServerSetup> bare = GameServerForLine("127.0.0.4:10052", 0);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->port, 10052);
}

TEST(DemoGameServer, PlayerAnswerFitsItsLengthByteAndListsTheClientLast)
{
    const std::vector<std::string> crowd(20, std::string(20, 'n'));
    const std::string answer = PlayerAnswerBytes(crowd, OwnPlayerName);
    ASSERT_LE(answer.size(), MaxReceivedPacketSize);
    EXPECT_EQ(static_cast<unsigned char>(answer[0]), answer.size());
    const std::vector<std::string> names = ParsePlayerAnswer(answer);
    EXPECT_GT(names.size(), 3u);
    EXPECT_LT(names.size(), crowd.size());
    EXPECT_TRUE(answer.ends_with(std::string(OwnPlayerName) + '\0'));

    const std::string level = LevelAnswerBytes(0x42, std::string(300, 'L'));
    ASSERT_LE(level.size(), MaxReceivedPacketSize);
    EXPECT_EQ(static_cast<unsigned char>(level[0]), level.size());
    EXPECT_EQ(ParseLevelAnswer(level)->echoByte, 0x42);
}

TEST(DemoGameServers, AnswerOnEachListedAddressAndMisbehaveWhereTold)
{
    const std::vector<std::string> addresses = {"127.0.0.1", "127.0.0.2", "127.0.3.4"};
    std::vector<std::string> lines;
    for (const std::string& address : addresses)
        lines.push_back(Line(address, UnusedPort(address), "1.21  ", "2/8"));
    lines.push_back("192.0.2.1:10052 s4 public Battle 1.24   60 1/8 Not ours");

    GameAnswerChoice answers;
    answers.Add("all=players-length-0");
    answers.Add("1=complete");
    answers.Add("2=silent");
    DemoGameServers servers(lines, answers, 10);
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(servers.problems().size(), 1u);

    ServerInfoClient client;
    client.timeouts.inactivity = 300ms;
    const auto query = [&](std::size_t i) {
        return QueryServerInfo(client, addresses[i], servers.server(i).port(), "1.21  ");
    };
    const ServerInfoResult first = query(0);
    EXPECT_FALSE(first.failed);
    EXPECT_EQ(first.playerNames.size(), 2u);
    EXPECT_TRUE(query(1).failed);
    const ServerInfoResult third = query(2);
    EXPECT_FALSE(third.failed);
    EXPECT_TRUE(third.playerNames.empty());

    // A port already taken costs that server only.
    DemoGameServers again(lines, {}, 10);
    EXPECT_EQ(again.size(), 0u);
    EXPECT_EQ(again.problems().size(), 4u);
    servers.stop();
    DemoGameServers capped(lines, {}, 2);
    EXPECT_EQ(capped.size(), 2u);
    EXPECT_FALSE(QueryServerInfo(client, addresses[1], capped.server(1).port(), "1.21  ").failed);
}

TEST(GameAnswerChoice, PicksAnAnswerPerServerNumber)
{
    GameAnswerChoice choice;
    EXPECT_EQ(choice.For(1), GameAnswer::Complete);
    choice.Add("3=close-after-level");
    choice.Add("all=unterminated-players");
    EXPECT_EQ(choice.For(3), GameAnswer::CloseAfterLevel);
    EXPECT_EQ(choice.For(4), GameAnswer::UnterminatedPlayers);
    for (const char* bad : {"3", "=silent", "0=silent", "x=silent", "3=loud", "-1=silent", "all="})
        EXPECT_THROW(choice.Add(bad), ServiceError) << bad;
}
