// Our demo list server: its sample data and its lifetime, as the other tests
// and hand demos rely on them.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "browse/listserver.h"
#include "demo-servers/demolistserver.h"
#include "demo-servers/samplelist.h"
#include "launch/gameversion.h"
#include "platform/tcpclient.h"
#include "support/timescale.h"

using namespace std::chrono_literals;
using namespace std::string_literals;

TEST(SampleServerLines, ShowEveryColumnMeaningfully)
{
    const std::vector<std::string> lines = SampleServerLines(12);
    ASSERT_EQ(lines.size(), 12u);
    const std::vector<ServerEntry> entries = ParseServerList(ListAnswerBytes(lines));
    ASSERT_EQ(entries.size(), lines.size());

    std::set<std::string> versions, addresses;
    bool hasPrivate = false, hasMarkers = false, hasSeconds = false, hasDays = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ServerEntry& entry = entries[i];
        SCOPED_TRACE(lines[i]);
        EXPECT_FALSE(entry.name.empty());
        EXPECT_FALSE(entry.uptime.empty());
        EXPECT_FALSE(entry.players.empty());
        EXPECT_EQ(entry.version.size(), 6u);
        EXPECT_TRUE(entry.ip.starts_with("127."));
        EXPECT_FALSE(entry.port.empty());
        versions.insert(entry.version);
        addresses.insert(entry.ip);
        hasPrivate |= entry.mode == "private";
        hasMarkers |= lines[i].ends_with(entry.name) == false;
        hasSeconds |= entry.uptime.starts_with(" 0:00:");
        hasDays |= std::stoi(entry.uptime) >= 24;
    }
    for (const GameVersion version : AllGameVersions)
        EXPECT_TRUE(versions.contains(std::string(ServerVersionText(version))));
    EXPECT_GE(versions.size(), 4u) << "an unknown version is missing";
    EXPECT_GE(addresses.size(), 3u);
    EXPECT_TRUE(hasPrivate);
    EXPECT_TRUE(hasMarkers);
    EXPECT_TRUE(hasSeconds);
    EXPECT_TRUE(hasDays);
}

TEST(SampleServerLines, GiveEveryServerItsOwnAddressAndPort)
{
    const std::vector<ServerEntry> entries = ParseServerList(ListAnswerBytes(SampleServerLines(2000)));
    std::set<std::pair<std::string, std::string>> endpoints;
    for (const ServerEntry& entry : entries)
        endpoints.emplace(entry.ip, entry.port);
    EXPECT_EQ(endpoints.size(), 2000u);
}

TEST(ReadServerLines, TakesLinesVerbatimWhateverTheLineEnd)
{
    const std::string path = testing::TempDir() + "demo-servers-lines.txt";
    {
        std::ofstream file(path, std::ios::binary);
        file << "first\r\nsecond\n\nfourth \xA7\0|x\r\nlast without end"s;
    }
    const std::vector<std::string> lines = ReadServerLines(path);
    std::remove(path.c_str());
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "", "fourth \xA7\0|x"s, "last without end"}));
    EXPECT_THROW(ReadServerLines(path), ServiceError);
}

TEST(DemoListServer, StopsPromptlyWhileHoldingAConnection)
{
    DemoListServer server("127.0.0.1", 0, SampleServerLines(3), ListAnswer::Silent);
    TcpClient client;
    client.setInactivityTimeout(5s);
    client.connect("127.0.0.1", server.port());
    // Stop only once the server holds the connection.
    for (int i = 0; i < 400 && server.connectionsAccepted() == 0; ++i)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(server.connectionsAccepted(), 1u);

    const auto start = std::chrono::steady_clock::now();
    server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, Scaled(2s));
    // Stopping closed the held connection in an orderly way.
    EXPECT_EQ(client.readUntilClose(1024), "");
    EXPECT_THROW(client.connect("127.0.0.1", server.port()), TcpConnectError);
}

TEST(DemoListServer, ListensOnLoopbackOnly)
{
    EXPECT_THROW(DemoListServer("0.0.0.0", 0, {}), ServiceError);
    EXPECT_THROW(DemoListServer("192.0.2.1", 0, {}), ServiceError);
    EXPECT_THROW(DemoListServer("localhost", 0, {}), ServiceError);
    DemoListServer other("127.0.0.2", 0, {"x"});
    EXPECT_EQ(FetchServerList("127.0.0.2", FetchOptions{.port = other.port()}), "x\r\n");
}
