// The blocking TCP client against scripted peers on loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/addresslookup.h"
#include "platform/tcpclient.h"
#include "support/silentnameservers.h"
#include "support/timescale.h"

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

// Listens on 127.0.0.1 and runs a script on the first connection, then
// closes it. Every wait is bounded, so a failing test cannot hang.
class ScriptedPeer {
public:
    using Script = std::function<void(int fd)>;

    explicit ScriptedPeer(Script script)
    {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(listenFd_, 4) != 0
            || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on loopback");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, script = std::move(script)] {
            pollfd entry{listenFd_, POLLIN, 0};
            if (::poll(&entry, 1, 5000) != 1)
                return;
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            script(fd);
            ::close(fd);
        });
    }

    ~ScriptedPeer()
    {
        thread_.join();
        ::close(listenFd_);
    }

    std::uint16_t port() const { return port_; }

    // Sends bytes in full.
    static void Send(int fd, const std::string& bytes)
    {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<std::size_t>(n);
        }
    }

    // Waits (at most 5 s) until the client closes, collecting what it sent.
    static std::string ReceiveUntilClosed(int fd)
    {
        std::string bytes;
        char chunk[4096];
        pollfd entry{fd, POLLIN, 0};
        while (::poll(&entry, 1, 5000) == 1) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    static void Reset(int fd)
    {
        linger abortive{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }

private:
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

TcpClient ConnectedClient(std::uint16_t port, TcpClient::Duration timeout = 5s)
{
    TcpClient client;
    client.setInactivityTimeout(timeout);
    client.connect("127.0.0.1", port);
    return client;
}

}  // namespace

TEST(TcpClient, SendsAndReadsBytesUnchanged)
{
    const std::string bytes = "\0\x01\x7F\x80\xA7\xFF|x\r\n"s;
    std::string received;
    {
        ScriptedPeer peer([&](int fd) {
            ScriptedPeer::Send(fd, bytes);
            received = ScriptedPeer::ReceiveUntilClosed(fd);
        });
        TcpClient client;
        client.setInactivityTimeout(5s);
        client.connect("localhost", peer.port());
        EXPECT_TRUE(client.isOpen());
        EXPECT_EQ(client.readExactly(bytes.size()), bytes);
        client.sendAll(bytes);
        client.close();
        EXPECT_FALSE(client.isOpen());
    }
    EXPECT_EQ(received, bytes);
}

TEST(TcpClient, ReadExactlyWaitsForBytesThatComeInPieces)
{
    ScriptedPeer peer([](int fd) {
        for (const char* piece : {"ab", "c", "defg", "hij"}) {
            ScriptedPeer::Send(fd, piece);
            std::this_thread::sleep_for(20ms);
        }
    });
    TcpClient client = ConnectedClient(peer.port());
    EXPECT_EQ(client.readExactly(1), "a");
    EXPECT_EQ(client.readExactly(5), "bcdef");
    EXPECT_EQ(client.readExactly(0), "");
    EXPECT_EQ(client.readExactly(4), "ghij");
}

TEST(TcpClient, ReadExactlyFailsWhenThePeerClosesFirst)
{
    ScriptedPeer peer([](int fd) { ScriptedPeer::Send(fd, "abc"); });
    TcpClient client = ConnectedClient(peer.port());
    EXPECT_THROW(client.readExactly(4), TcpClosedError);
}

TEST(TcpClient, InactivityTimeoutEndsAWaitWithoutProgress)
{
    ScriptedPeer peer([](int fd) {
        ScriptedPeer::Send(fd, "x");
        ScriptedPeer::ReceiveUntilClosed(fd);
    });
    TcpClient client = ConnectedClient(peer.port(), 200ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.readExactly(2), TcpTimeoutError);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 150ms);
    EXPECT_LT(elapsed, Scaled(5s));
}

TEST(TcpClient, InactivityTimeoutAllowsASlowButSteadyPeer)
{
    // Six bytes 100 ms apart take longer than the time-out, but never is
    // there a gap that long.
    ScriptedPeer peer([](int fd) {
        for (int i = 0; i < 6; ++i) {
            std::this_thread::sleep_for(100ms);
            ScriptedPeer::Send(fd, std::string(1, static_cast<char>('0' + i)));
        }
    });
    TcpClient client = ConnectedClient(peer.port(), 400ms);
    EXPECT_EQ(client.readUntilClose(100), "012345");
}

TEST(TcpClient, ReadUntilCloseEndsAtAnOrderlyClose)
{
    const std::string answer(300 * 1024, '\xA7');
    ScriptedPeer peer([&](int fd) { ScriptedPeer::Send(fd, answer); });
    TcpClient client = ConnectedClient(peer.port());
    EXPECT_EQ(client.readUntilClose(answer.size()), answer);
}

TEST(TcpClient, ReadUntilCloseEnforcesItsLimit)
{
    ScriptedPeer peer([](int fd) {
        ScriptedPeer::Send(fd, std::string(1001, 'x'));
        ScriptedPeer::ReceiveUntilClosed(fd);
    });
    TcpClient client = ConnectedClient(peer.port());
    EXPECT_THROW(client.readUntilClose(1000), TcpLimitError);
}

TEST(TcpClient, ResetIsAnErrorNotAnEnd)
{
    ScriptedPeer peer([](int fd) {
        ScriptedPeer::Send(fd, "partial");
        ScriptedPeer::Reset(fd);
    });
    // The reset may already be seen while connecting; either way it must fail.
    try {
        TcpClient client = ConnectedClient(peer.port());
        client.readUntilClose(1000);
        FAIL() << "a reset was taken as the end of the answer";
    } catch (const TcpClosedError&) {
        FAIL() << "a reset was reported as an orderly close";
    } catch (const TcpError&) {
    }
}

TEST(TcpClient, ConnectFailuresAreErrors)
{
    std::uint16_t closedPort;
    {
        // A port that was just freed: nobody listens there.
        ScriptedPeer peer([](int) {});
        closedPort = peer.port();
        TcpClient wakeUp = ConnectedClient(closedPort);
    }
    TcpClient client;
    EXPECT_THROW(client.connect("127.0.0.1", closedPort), TcpConnectError);
    EXPECT_FALSE(client.isOpen());
    EXPECT_THROW(client.connect("nowhere.quimbrel.invalid", 1), TcpResolveError);
    EXPECT_THROW(client.connect("INVALID.", 1), TcpResolveError);
    EXPECT_FALSE(client.isOpen());
}

TEST(TcpClient, UsingAClosedClientIsAnError)
{
    TcpClient client;
    EXPECT_THROW(client.sendAll("x"), TcpError);
    EXPECT_THROW(client.readExactly(1), TcpError);
    EXPECT_THROW(client.readUntilClose(1), TcpError);
    client.close();  // closing twice is harmless
    EXPECT_FALSE(client.isOpen());
}

TEST(TcpClient, MovingHandsTheConnectionOver)
{
    ScriptedPeer peer([](int fd) { ScriptedPeer::Send(fd, "moved"); });
    TcpClient first = ConnectedClient(peer.port());
    TcpClient second = std::move(first);
    EXPECT_FALSE(first.isOpen());
    EXPECT_TRUE(second.isOpen());
    EXPECT_EQ(second.readExactly(5), "moved");
}

namespace {

// Sends one byte every 50 ms for up to 5 s, until the client goes away.
void Trickle(int fd)
{
    for (int i = 0; i < 100; ++i) {
        if (::send(fd, "x", 1, MSG_NOSIGNAL) != 1)
            return;
        std::this_thread::sleep_for(50ms);
    }
}

// Stays silent until the client closes (at most 5 s).
void StaySilent(int fd)
{
    ScriptedPeer::ReceiveUntilClosed(fd);
}

std::string TimeoutMessageOf(const std::function<void()>& exchange)
{
    try {
        exchange();
    } catch (const TcpTimeoutError& error) {
        return error.what();
    }
    ADD_FAILURE() << "the exchange did not time out";
    return {};
}

}  // namespace

TEST(TcpClient, MovingKeepsTheDeadline)
{
    {
        ScriptedPeer peer(StaySilent);
        TcpClient first;
        first.setDeadline(std::chrono::steady_clock::now() + 200ms);
        first.connect("127.0.0.1", peer.port());
        TcpClient second(std::move(first));
        EXPECT_THROW(second.readExactly(1), TcpTimeoutError);
    }
    {
        ScriptedPeer peer(StaySilent);
        TcpClient first;
        first.setDeadline(std::chrono::steady_clock::now() + 200ms);
        first.connect("127.0.0.1", peer.port());
        TcpClient second;
        second = std::move(first);
        EXPECT_THROW(second.readExactly(1), TcpTimeoutError);
    }
}

TEST(TcpClient, TimeOutMessagesNameTheLimitThatEndedTheWait)
{
    const auto deadlineIn = [](std::chrono::milliseconds span) {
        return std::chrono::steady_clock::now() + span;
    };
    {
        ScriptedPeer peer(StaySilent);
        TcpClient client = ConnectedClient(peer.port(), 200ms);
        const std::string message = TimeoutMessageOf([&] { client.readExactly(1); });
        EXPECT_EQ(message, "reading from 127.0.0.1:" + std::to_string(peer.port())
                               + " timed out after 200 ms without progress");
    }
    {
        // Without an inactivity time-out only the deadline can end the wait.
        ScriptedPeer peer(StaySilent);
        TcpClient client;
        client.setDeadline(deadlineIn(200ms));
        client.connect("127.0.0.1", peer.port());
        const std::string message = TimeoutMessageOf([&] { client.readExactly(1); });
        EXPECT_EQ(message, "reading from 127.0.0.1:" + std::to_string(peer.port()) + " took longer than allowed");
    }
    {
        // Bytes come every 50 ms: the inactivity time-out never runs out.
        ScriptedPeer peer(Trickle);
        TcpClient client = ConnectedClient(peer.port(), 300ms);
        client.setDeadline(deadlineIn(500ms));
        const std::string message = TimeoutMessageOf([&] { client.readUntilClose(1000); });
        EXPECT_EQ(message, "reading from 127.0.0.1:" + std::to_string(peer.port()) + " took longer than allowed");
    }
}

TEST(TcpClient, NameLookupIsBoundedByTheTimeLimits)
{
    SilentNameServers silent;
    const auto start = std::chrono::steady_clock::now();
    {
        TcpClient client;
        client.setDeadline(start + 300ms);
        const std::string message = TimeoutMessageOf([&] { client.connect("list.quimbrel.test", 10057); });
        EXPECT_EQ(message, "looking up list.quimbrel.test:10057 took longer than allowed");
        EXPECT_FALSE(client.isOpen());
    }
    {
        TcpClient client;
        client.setInactivityTimeout(200ms);
        const std::string message = TimeoutMessageOf([&] { client.connect("list.quimbrel.test", 10057); });
        EXPECT_EQ(message, "looking up list.quimbrel.test:10057 timed out after 200 ms without progress");
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 450ms);
    EXPECT_LT(elapsed, Scaled(5s));
    EXPECT_EQ(silent.lookups(), 2);

    // Address texts need no name server.
    ScriptedPeer peer([](int fd) { ScriptedPeer::Send(fd, "ok"); });
    TcpClient client = ConnectedClient(peer.port(), 200ms);
    EXPECT_EQ(client.readExactly(2), "ok");
    EXPECT_EQ(silent.lookups(), 2);
}

TEST(TcpClient, ConnectsToTheFirstLookedUpAddressThatAccepts)
{
    // Only 127.0.0.1 listens; 127.0.0.2 refuses the same port.
    ScopedIpv4Resolver resolver([](const std::string&) {
        return Ipv4Addresses{htonl(0x7F000002), htonl(INADDR_LOOPBACK)};
    });
    ScriptedPeer peer([](int fd) { ScriptedPeer::Send(fd, "second"); });
    TcpClient client;
    client.setInactivityTimeout(5s);
    client.setDeadline(std::chrono::steady_clock::now() + 10s);
    client.connect("two.quimbrel.test", peer.port());
    EXPECT_EQ(client.readExactly(6), "second");
}

TEST(TcpClient, ACancelSignalEndsTheWaitsAtOnce)
{
    using Wait = std::function<void(TcpClient&)>;
    const std::vector<std::pair<const char*, Wait>> waits = {
        {"reading some bytes", [](TcpClient& client) { client.readExactly(1); }},
        {"reading until the peer closes", [](TcpClient& client) { client.readUntilClose(100); }},
    };
    for (const auto& [name, wait] : waits) {
        SCOPED_TRACE(name);
        ScriptedPeer peer([](int fd) { ScriptedPeer::ReceiveUntilClosed(fd); });
        const auto cancel = std::make_shared<CancelSignal>();
        TcpClient client = ConnectedClient(peer.port(), 30s);
        client.setCancelSignal(cancel);
        const auto start = std::chrono::steady_clock::now();
        std::thread raiser([&cancel] {
            std::this_thread::sleep_for(100ms);
            cancel->Raise();
        });
        EXPECT_THROW(wait(client), TcpCancelledError);
        raiser.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, Scaled(2s));
    }
    // Raised before: not even a connection is tried.
    const auto raised = std::make_shared<CancelSignal>();
    raised->Raise();
    TcpClient client;
    client.setCancelSignal(raised);
    EXPECT_THROW(client.connect("127.0.0.1", 1), TcpCancelledError);
    EXPECT_FALSE(client.isOpen());
}
