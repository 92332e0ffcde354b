// Fetching the list from our demo list server on loopback, including servers
// that misbehave.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

#include "browse/listserver.h"
#include "demo-servers/demolistserver.h"
#include "demo-servers/samplelist.h"
#include "platform/tcpclient.h"
#include "support/silentnameservers.h"
#include "support/timescale.h"

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr const char* Loopback = "127.0.0.1";

FetchOptions OptionsFor(std::uint16_t port, std::chrono::milliseconds timeout = 5s,
                        std::size_t maxBytes = FetchOptions{}.maxBytes)
{
    return FetchOptions{.port = port, .inactivityTimeout = timeout, .maxBytes = maxBytes};
}

// A port on which nobody listens (free a moment ago).
std::uint16_t UnusedPort()
{
    TcpService probe(Loopback, 0, [](ServiceConnection&) {});
    const std::uint16_t port = probe.port();
    probe.stop();
    return port;
}

template <typename Function>
std::chrono::milliseconds TimeOf(Function&& function)
{
    const auto start = std::chrono::steady_clock::now();
    function();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace

TEST(FetchServerList, ReturnsTheWholeAnswerOfTheListServer)
{
    const std::vector<std::string> lines = SampleServerLines(12);
    DemoListServer server(Loopback, 0, lines);

    const std::string answer = FetchServerList(Loopback, OptionsFor(server.port()));
    EXPECT_EQ(answer, ListAnswerBytes(lines));

    const std::vector<ServerEntry> entries = ParseServerList(answer);
    ASSERT_EQ(entries.size(), lines.size());
    EXPECT_EQ(entries[0].ip, "127.0.0.1");
    EXPECT_EQ(entries[0].name, "Mossy Hollow");
    EXPECT_EQ(entries[2].mode, "private");
    EXPECT_EQ(entries[2].version, "1.24 x");
    EXPECT_EQ(entries[2].uptime, " 1:02:05");

    // Every connection gets the same answer; names resolve too.
    EXPECT_EQ(FetchServerList("localhost", OptionsFor(server.port())), answer);
    EXPECT_EQ(server.connectionsAccepted(), 2u);
}

TEST(FetchServerList, PassesEightBitAndNulBytesThrough)
{
    const std::vector<std::string> lines{"\0\xFF\x80 |n\xE9|"s, ""s, "\r\n"s};
    DemoListServer server(Loopback, 0, lines);
    EXPECT_EQ(FetchServerList(Loopback, OptionsFor(server.port())), ListAnswerBytes(lines));
}

TEST(FetchServerList, SendsNothingToTheListServer)
{
    std::atomic<bool> served{false};
    std::atomic<bool> receivedSomething{true};
    TcpService server(Loopback, 0, [&](ServiceConnection& connection) {
        connection.send("127.0.0.1:1 e m t 1.24   5 1/8 N\r\n");
        connection.shutdownSending();
        // Anything the client wrote arrives before its close.
        std::string byte;
        receivedSomething = connection.receive(1, byte, 5s);
        served = true;
    });
    EXPECT_EQ(FetchServerList(Loopback, OptionsFor(server.port())).size(), 34u);
    server.stop();
    ASSERT_TRUE(served);
    EXPECT_FALSE(receivedSomething);
}

TEST(FetchServerList, EmptyAnswerIsNoError)
{
    DemoListServer server(Loopback, 0, {});
    EXPECT_EQ(FetchServerList(Loopback, OptionsFor(server.port())), "");
}

TEST(FetchServerList, FailsWhenNoServerIsThere)
{
    EXPECT_THROW(FetchServerList(Loopback, OptionsFor(UnusedPort())), TcpConnectError);
    EXPECT_THROW(FetchServerList("listserver.quimbrel.invalid", OptionsFor(ListServerPort)), TcpResolveError);
    EXPECT_THROW(FetchServerList("", OptionsFor(ListServerPort)), TcpResolveError);
}

TEST(FetchServerList, TakesAnOrderlyCloseMidAnswerAsTheEnd)
{
    const std::vector<std::string> lines = SampleServerLines(4);
    DemoListServer server(Loopback, 0, lines, ListAnswer::CloseMidAnswer);

    const std::string answer = FetchServerList(Loopback, OptionsFor(server.port()));
    const std::string full = ListAnswerBytes(lines);
    EXPECT_EQ(answer, full.substr(0, full.size() / 2));
    // Only the lines that arrived whole become entries.
    EXPECT_EQ(ParseServerList(answer).size(), 2u);
}

TEST(FetchServerList, FailsOnAResetMidAnswer)
{
    DemoListServer server(Loopback, 0, SampleServerLines(4), ListAnswer::ResetMidAnswer);
    EXPECT_THROW(FetchServerList(Loopback, OptionsFor(server.port())), TcpError);
}

TEST(FetchServerList, GivesUpOnASilentServer)
{
    DemoListServer server(Loopback, 0, SampleServerLines(4), ListAnswer::Silent);
    const auto elapsed = TimeOf([&] {
        EXPECT_THROW(FetchServerList(Loopback, OptionsFor(server.port(), 200ms)), TcpTimeoutError);
    });
    EXPECT_GE(elapsed, 150ms);
    EXPECT_LT(elapsed, Scaled(5s));
}

TEST(FetchServerList, GivesUpOnAServerThatNeverCloses)
{
    DemoListServer server(Loopback, 0, SampleServerLines(4), ListAnswer::NeverClose);
    EXPECT_THROW(FetchServerList(Loopback, OptionsFor(server.port(), 200ms)), TcpTimeoutError);
}

TEST(FetchServerList, GivesUpOnAServerThatTricklesWithinTheInactivityTimeOut)
{
    // One byte every 50 ms never trips a 200 ms inactivity time-out; the
    // time allowed for the whole exchange ends it all the same.
    DemoListServer server(Loopback, 0, SampleServerLines(4), ListAnswer::Trickle);
    FetchOptions options = OptionsFor(server.port(), 200ms);
    options.overallTimeout = 600ms;
    const auto elapsed = TimeOf([&] { EXPECT_THROW(FetchServerList(Loopback, options), TcpTimeoutError); });
    EXPECT_GE(elapsed, 500ms);
    EXPECT_LT(elapsed, Scaled(5s));
}

TEST(FetchServerList, GivesUpWhenNameServersNeverAnswer)
{
    SilentNameServers silent;
    FetchOptions options;
    options.overallTimeout = 400ms;
    const auto elapsed = TimeOf([&] { EXPECT_THROW(FetchServerList("list.quimbrel.test", options), TcpTimeoutError); });
    EXPECT_GE(elapsed, 350ms);
    EXPECT_LT(elapsed, Scaled(5s));
    EXPECT_EQ(silent.lookups(), 1);
}

TEST(FetchServerList, StopsAnEndlessAnswerAtTheByteLimit)
{
    DemoListServer server(Loopback, 0, SampleServerLines(50), ListAnswer::Endless);
    const auto elapsed = TimeOf([&] {
        EXPECT_THROW(FetchServerList(Loopback, OptionsFor(server.port(), 5s, 256 * 1024)), TcpLimitError);
    });
    EXPECT_LT(elapsed, Scaled(10s));
}

TEST(FetchServerList, AcceptsAnAnswerOfExactlyTheByteLimit)
{
    const std::vector<std::string> lines = SampleServerLines(30);
    const std::size_t size = ListAnswerBytes(lines).size();
    DemoListServer server(Loopback, 0, lines);
    EXPECT_EQ(FetchServerList(Loopback, OptionsFor(server.port(), 5s, size)).size(), size);
    EXPECT_THROW(FetchServerList(Loopback, OptionsFor(server.port(), 5s, size - 1)), TcpLimitError);
}
