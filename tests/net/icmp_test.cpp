#include "echopath.h"

#include "net/echoidentifiers.h"
#include "net/echosocket.h"
#include "net/hostlookup.h"
#include "net/icmp.h"
#include "support/timescale.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const std::string kPayloadText = "Echo request sent by the game server browser.";

class EchoOverLoopback : public testing::TestWithParam<EchoSocketKind> {
protected:
    void SetUp() override
    {
        std::string whyNot;
        path_ = EchoPath::Prepare(GetParam(), whyNot);
        if (!path_)
            GTEST_SKIP() << whyNot;
    }
    std::unique_ptr<EchoPath> path_;
};

TEST_P(EchoOverLoopback, AnswersLoopbackAddressesWithTheirRoundTripTime)
{
    path_->Run([&] {
        TICMP icmp(GetParam());
        EXPECT_EQ(icmp.SocketKind(), GetParam());
        std::vector<std::string> events;
        icmp.OnEchoRequest = [&](TICMP* sender) {
            EXPECT_EQ(sender, &icmp);
            events.push_back("request");
        };
        icmp.OnEchoReply = [&](TICMP* sender, int error) {
            EXPECT_EQ(sender, &icmp);
            events.push_back("reply " + std::to_string(error));
        };
        icmp.SetTimeout(1000);
        for (const std::string& address : {std::string("127.0.0.1"), LoopbackAddress(1)}) {
            icmp.SetAddress(address);
            const Clock::time_point start = Clock::now();
            ASSERT_EQ(icmp.Ping(), 1) << address << ": error " << icmp.LastError();
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            EXPECT_EQ(icmp.LastError(), 0u);
            const TIcmpEchoReply reply = icmp.Reply();
            EXPECT_EQ(reply.Address, AddressValue(address.c_str())) << address;
            EXPECT_EQ(reply.Status, 0u);
            EXPECT_LE(reply.RoundTripTime, elapsed.count());
            EXPECT_LT(reply.RoundTripTime, static_cast<std::uint32_t>(ScaledMs(500)));
            EXPECT_EQ(reply.DataSize, 56);
            EXPECT_EQ(reply.Data, 0u);
            EXPECT_GT(reply.Options.Ttl, 0);
        }
        EXPECT_EQ(events, (std::vector<std::string>{"request", "reply 1", "request", "reply 1"}));
    });
}

TEST_P(EchoOverLoopback, SendsTheTextPaddedWithBlanksToSize)
{
    path_->Run([&] {
        EchoRequestSniffer sniffer;
        ASSERT_TRUE(sniffer.Ready());
        TICMP icmp(GetParam());
        const std::string address = LoopbackAddress(2);
        icmp.SetAddress(address);
        icmp.SetTimeout(1000);
        const std::vector<std::pair<int, std::string>> cases = {
            {56, kPayloadText + std::string(11, ' ')},
            {20, kPayloadText.substr(0, 20)},
            {0, std::string()},
            {100, kPayloadText + std::string(55, ' ')},
        };
        for (const auto& [size, expected] : cases) {
            icmp.SetSize(size);
            EXPECT_EQ(icmp.Ping(), 1) << "Size " << size;
            EXPECT_EQ(icmp.Reply().DataSize, size);
            const std::optional<SeenRequest> seen = sniffer.Next(AddressValue(address.c_str()), 1000);
            ASSERT_TRUE(seen) << "Size " << size;
            EXPECT_EQ(seen->data, expected) << "Size " << size;
        }
    });
}

TEST_P(EchoOverLoopback, SendsTheLowBytesOfTtlAndFlags)
{
    path_->Run([&] {
        EchoRequestSniffer sniffer;
        ASSERT_TRUE(sniffer.Ready());
        TICMP icmp(GetParam());
        const std::string address = LoopbackAddress(3);
        icmp.SetAddress(address);
        icmp.SetTimeout(1000);
        const std::uint32_t destination = AddressValue(address.c_str());

        icmp.SetTTL(300);
        icmp.SetFlags(0x102);  // low byte: don't fragment
        EXPECT_EQ(icmp.Ping(), 1);
        std::optional<SeenRequest> seen = sniffer.Next(destination, 1000);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->ttl, 44);
        EXPECT_TRUE(seen->flags & 0x4000) << "don't fragment not set";

        icmp.SetTTL(64);
        icmp.SetFlags(0x200);  // low byte empty
        EXPECT_EQ(icmp.Ping(), 1);
        seen = sniffer.Next(destination, 1000);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->ttl, 64);
        EXPECT_FALSE(seen->flags & 0x4000) << "don't fragment set without being asked for";
    });
}

INSTANTIATE_TEST_SUITE_P(BothSocketKinds, EchoOverLoopback,
                         testing::Values(EchoSocketKind::Raw, EchoSocketKind::Datagram),
                         [](const testing::TestParamInfo<EchoSocketKind>& info) { return KindName(info.param); });

// For the tests that do not care which kind of socket the system gives.
#define SKIP_WITHOUT_ECHO_SOCKET()                                                        \
    if (!CanOpenEchoSocket(EchoSocketKind::Raw) && !CanOpenEchoSocket(EchoSocketKind::Datagram)) \
    GTEST_SKIP() << "no ICMP socket can be opened here (not root?)"

struct DisplayLog {
    std::vector<std::string> texts;
    int requests = 0;
    void Attach(TICMP& icmp)
    {
        icmp.OnDisplay = [this, &icmp](TICMP* sender, const std::string& msg) {
            EXPECT_EQ(sender, &icmp);
            texts.push_back(msg);
        };
        icmp.OnEchoRequest = [this](TICMP*) { ++requests; };
    }
};

TEST(TICMPAddress, KeepsItsResolutionUntilTheTextChanges)
{
    SKIP_WITHOUT_ECHO_SOCKET();
    std::vector<std::string> lookups;
    ScopedHostResolver resolver([&](const std::string& name) {
        lookups.push_back(name);
        return HostLookupResult{0, AddressValue("127.0.0.1")};
    });
    TICMP icmp;
    icmp.SetTimeout(1000);
    icmp.SetAddress("first.test");
    EXPECT_EQ(icmp.Ping(), 1);
    EXPECT_EQ(icmp.Ping(), 1);
    icmp.SetAddress("first.test");
    EXPECT_EQ(icmp.Ping(), 1);
    EXPECT_EQ(lookups, std::vector<std::string>{"first.test"});
    EXPECT_EQ(icmp.IPAddress(), AddressValue("127.0.0.1"));

    icmp.SetAddress("First.test");  // another text, if only by case
    EXPECT_EQ(icmp.Ping(), 1);
    EXPECT_EQ(lookups, (std::vector<std::string>{"first.test", "First.test"}));

    icmp.SetAddress("127.1");  // dotted: used as it is
    EXPECT_EQ(icmp.Ping(), 1);
    EXPECT_EQ(icmp.Reply().Address, AddressValue("127.0.0.1"));
    EXPECT_EQ(lookups.size(), 2u);
}

TEST(TICMPAddress, UnresolvableNameIsReportedAndTriedAgainAtEveryPing)
{
    SKIP_WITHOUT_ECHO_SOCKET();
    int lookups = 0;
    ScopedHostResolver resolver([&](const std::string&) {
        ++lookups;
        return HostLookupResult{11001, 0};
    });
    TICMP icmp;
    DisplayLog log;
    log.Attach(icmp);
    icmp.SetAddress("nowhere.invalid");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        EXPECT_EQ(icmp.Ping(), 0);
        EXPECT_EQ(icmp.LastError(), 11018u);
        EXPECT_EQ(lookups, attempt);
    }
    EXPECT_EQ(log.texts, (std::vector<std::string>{"Unable to resolve nowhere.invalid", "Invalid host address",
                                                   "Unable to resolve nowhere.invalid", "Invalid host address"}));
    EXPECT_EQ(log.requests, 0);
}

TEST(TICMPAddress, ReservedInvalidNameFailsWithTheSystemResolver)
{
    // In a namespace of our own with only a loopback, so the lookup never leaves the host.
    std::string whyNot;
    auto isolated = NetworkNamespace::Create(whyNot);
    if (!isolated)
        GTEST_SKIP() << whyNot;
    isolated->Run([] {
        TICMP icmp(EchoSocketKind::Raw);
        DisplayLog log;
        log.Attach(icmp);
        icmp.SetAddress("quimbrel-nowhere.invalid");
        EXPECT_EQ(icmp.Ping(), 0);
        EXPECT_EQ(icmp.LastError(), 11018u);
        EXPECT_EQ(log.texts, (std::vector<std::string>{"Unable to resolve quimbrel-nowhere.invalid",
                                                       "Invalid host address"}));
        EXPECT_EQ(log.requests, 0);
    });
}

TEST(TICMPAddress, BroadcastAddressIsNeverPinged)
{
    SKIP_WITHOUT_ECHO_SOCKET();
    ScopedHostResolver resolver([](const std::string&) { return HostLookupResult{0, 0xFFFFFFFFu}; });
    TICMP icmp;
    DisplayLog log;
    log.Attach(icmp);
    for (const char* address : {"255.255.255.255", "everyone.test"}) {
        icmp.SetAddress(address);
        EXPECT_EQ(icmp.Ping(), 0) << address;
        EXPECT_EQ(icmp.LastError(), 11018u) << address;
        EXPECT_EQ(icmp.Ping(), 0) << address;
    }
    EXPECT_EQ(log.texts, std::vector<std::string>(4, "Invalid host address"));
    EXPECT_EQ(log.requests, 0);
}

TEST(TICMPRequest, RequestsThatCannotBeSentAreRefused)
{
    SKIP_WITHOUT_ECHO_SOCKET();
    TICMP icmp;
    DisplayLog log;
    log.Attach(icmp);
    icmp.SetAddress("127.0.0.1");
    icmp.SetSize(-1);
    EXPECT_EQ(icmp.Ping(), 0);
    EXPECT_EQ(icmp.LastError(), 11011u);
    EXPECT_EQ(log.requests, 0);
    icmp.SetSize(65535);  // more than an IPv4 packet can carry
    EXPECT_EQ(icmp.Ping(), 0);
    EXPECT_EQ(icmp.LastError(), 11011u);
    icmp.SetSize(56);
    icmp.SetTTL(256);  // low byte 0: would expire before leaving
    EXPECT_EQ(icmp.Ping(), 0);
    EXPECT_EQ(icmp.LastError(), 11013u);
    icmp.SetTTL(64);
    icmp.SetTimeout(1000);
    EXPECT_EQ(icmp.Ping(), 1);
    EXPECT_EQ(icmp.LastError(), 0u);
}

TEST(TICMPSetup, NoUsableSocketGivesThePingHandleMessage)
{
    if (CanOpenEchoSocket(EchoSocketKind::Datagram))
        GTEST_SKIP() << "datagram echo sockets are allowed here, so they cannot fail";
    try {
        TICMP icmp(EchoSocketKind::Datagram);
        ADD_FAILURE() << "constructed without a socket";
    } catch (const TICMPException& error) {
        EXPECT_STREQ(error.what(), "Unable to get ping handle");
    }
}

TEST(EchoIdentifierPool, HandsOutEachIdentifierOnceAtATime)
{
    EchoIdentifierPool pool(65530);
    std::set<std::uint16_t> taken;
    for (int i = 0; i < 65536; ++i) {
        const auto identifier = pool.Acquire();
        ASSERT_TRUE(identifier) << "ran out after " << i;
        EXPECT_TRUE(taken.insert(*identifier).second) << "identifier " << *identifier << " given twice";
    }
    EXPECT_FALSE(pool.Acquire()) << "more than 65536 identifiers";
    pool.Release(7);
    pool.Release(7);  // a second release of the same identifier changes nothing
    EXPECT_EQ(pool.Acquire(), std::optional<std::uint16_t>(7));
    EXPECT_FALSE(pool.Acquire());
}

int OpenSocketCount()
{
    int sockets = 0;
    for (int fd = 0; fd < 4096; ++fd) {
        struct stat status{};
        if (fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode))
            ++sockets;
    }
    return sockets;
}

TEST(SharedEchoSockets, ObjectsOpenedAtOnceShareOneSocket)
{
    if (!CanOpenEchoSocket(EchoSocketKind::Raw))
        GTEST_SKIP() << "raw sockets need privilege";
    const int socketsBefore = OpenSocketCount();
    constexpr int kThreads = 8, kPerThread = 50;
    std::vector<std::vector<std::unique_ptr<TICMP>>> pingers(kThreads);
    std::vector<std::thread> openers;
    for (int t = 0; t < kThreads; ++t) {
        openers.emplace_back([&pingers, t] {
            for (int i = 0; i < kPerThread; ++i)
                pingers[t].push_back(std::make_unique<TICMP>(EchoSocketKind::Raw));
        });
    }
    for (std::thread& opener : openers)
        opener.join();
    EXPECT_EQ(OpenSocketCount(), socketsBefore + 1);
    pingers[3][7]->SetAddress(LoopbackAddress(4));
    pingers[3][7]->SetTimeout(1000);
    EXPECT_EQ(pingers[3][7]->Ping(), 1);
    pingers.clear();
    EXPECT_EQ(OpenSocketCount(), socketsBefore);
}

}  // namespace
