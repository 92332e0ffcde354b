#include "coreapplication.h"
#include "echopath.h"

#include "net/hostlookup.h"
#include "net/ping.h"
#include "support/timescale.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs this thread's event loop until done() holds or the time is up.
bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = ScaledMs(3000))
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void ProcessEventsFor(int milliseconds)
{
    ProcessEventsUntil([] { return false; }, milliseconds);
}

struct LookupLog {
    std::vector<std::uint16_t> errors;
    std::vector<std::string> results;  // DnsResult at each event
    void Attach(TPing& ping)
    {
        ping.OnDnsLookupDone = [this, &ping](TPing* sender, std::uint16_t error) {
            EXPECT_EQ(sender, &ping);
            EXPECT_EQ(QThread::currentThread(), ping.thread()) << "lookup reported on a foreign thread";
            errors.push_back(error);
            results.push_back(sender->DnsResult());
        };
    }
};

// A resolver whose answers the test releases one name at a time.
class HeldResolver {
public:
    HeldResolver()
        : scope_([this](const std::string& name) {
              std::unique_lock lock(mutex_);
              ++started_;
              changed_.wait_for(lock, std::chrono::seconds(5),
                                [&] { return closing_ || released_.count(name) > 0; });
              const HostLookupResult result = released_.count(name) ? released_[name] : HostLookupResult{11002, 0};
              ++answered_;
              changed_.notify_all();
              return result;
          })
    {
    }
    // Lookups still held when a test ends are let go and waited for: they call back here.
    ~HeldResolver()
    {
        std::unique_lock lock(mutex_);
        closing_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(5), [&] { return answered_ == started_; });
    }
    void Release(const std::string& name, HostLookupResult result)
    {
        std::lock_guard lock(mutex_);
        released_[name] = result;
        changed_.notify_all();
    }
    bool WaitAnswered(int count)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return answered_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, HostLookupResult> released_;
    int started_ = 0;
    int answered_ = 0;
    bool closing_ = false;
    ScopedHostResolver scope_;
};

#define SKIP_WITHOUT_ECHO_SOCKET()                                                                 \
    if (!CanOpenEchoSocket(EchoSocketKind::Raw) && !CanOpenEchoSocket(EchoSocketKind::Datagram)) \
    GTEST_SKIP() << "no ICMP socket can be opened here (not root?)"

class TPingTest : public testing::Test {
protected:
    void SetUp() override
    {
        Application();
        SKIP_WITHOUT_ECHO_SOCKET();
    }
};

TEST_F(TPingTest, PublishesTheEchoSettingsWithTheirDefaults)
{
    TPing ping;
    EXPECT_EQ(ping.Address(), "");
    EXPECT_EQ(ping.Size(), 56);
    EXPECT_EQ(ping.Timeout(), 4000);
    EXPECT_EQ(ping.TTL(), 64);
    EXPECT_EQ(ping.Flags(), 0);
    EXPECT_EQ(ping.ErrorCode(), 0);
    EXPECT_EQ(ping.DnsResult(), "");
    const TIcmpEchoReply empty{};
    const TIcmpEchoReply reply = ping.Reply();
    EXPECT_EQ(std::memcmp(&reply, &empty, sizeof empty), 0);
}

TEST_F(TPingTest, IsDeletedWithItsOwner)
{
    auto* owner = new QObject;
    QPointer<TPing> ping = new TPing(owner);
    EXPECT_EQ(ping->parent(), owner);
    delete owner;
    EXPECT_TRUE(ping.isNull());
}

TEST_F(TPingTest, PingForwardsTheEchoEventsWithItselfAsSender)
{
    TPing ping;
    std::vector<std::string> events;
    ping.OnEchoRequest = [&](TPing* sender, TICMP* icmp) {
        EXPECT_EQ(sender, &ping);
        EXPECT_NE(icmp, nullptr);
        events.push_back("request");
    };
    ping.OnEchoReply = [&](TPing* sender, TICMP* icmp, std::int32_t error) {
        EXPECT_EQ(sender, &ping);
        EXPECT_NE(icmp, nullptr);
        events.push_back("reply " + std::to_string(error));
    };
    ping.SetAddress("127.0.0.1");
    ping.SetTimeout(1000);
    ping.SetSize(20);
    EXPECT_EQ(ping.Ping(), 1);
    EXPECT_EQ(ping.ErrorCode(), 0);
    EXPECT_EQ(ping.Reply().Address, AddressValue("127.0.0.1"));
    EXPECT_EQ(ping.Reply().DataSize, 20);
    EXPECT_LT(ping.Reply().RoundTripTime, static_cast<std::uint32_t>(ScaledMs(500)));
    EXPECT_EQ(events, (std::vector<std::string>{"request", "reply 1"}));
}

TEST_F(TPingTest, UnusableAddressIsDisplayedAndGivesBadDestination)
{
    ScopedHostResolver resolver([](const std::string&) { return HostLookupResult{11001, 0}; });
    TPing ping;
    std::vector<std::string> texts;
    int echoEvents = 0;
    ping.OnDisplay = [&](TPing* sender, TICMP* icmp, const std::string& msg) {
        EXPECT_EQ(sender, &ping);
        EXPECT_NE(icmp, nullptr);
        texts.push_back(msg);
    };
    ping.OnEchoRequest = [&](TPing*, TICMP*) { ++echoEvents; };
    ping.OnEchoReply = [&](TPing*, TICMP*, std::int32_t) { ++echoEvents; };
    ping.SetAddress("gone.invalid");
    EXPECT_EQ(ping.Ping(), 0);
    EXPECT_EQ(ping.ErrorCode(), 11018);
    EXPECT_EQ(texts, (std::vector<std::string>{"Unable to resolve gone.invalid", "Invalid host address"}));
    EXPECT_EQ(echoEvents, 0);
}

TEST_F(TPingTest, DottedAddressIsLookedUpBeforeDnsLookupReturns)
{
    TPing ping;
    LookupLog log;
    log.Attach(ping);
    ping.DnsLookup("127.1");
    EXPECT_EQ(log.errors, std::vector<std::uint16_t>{0});
    EXPECT_EQ(ping.DnsResult(), "127.0.0.1");
    ping.DnsLookup("0x7f.0.0.2");
    EXPECT_EQ(ping.DnsResult(), "127.0.0.2");
    EXPECT_EQ(log.errors.size(), 2u);
}

TEST_F(TPingTest, NameLookupCompletesOnTheComponentsThread)
{
    TPing ping;
    LookupLog log;
    log.Attach(ping);
    ping.DnsLookup("localhost");  // answered from the hosts file
    EXPECT_TRUE(log.errors.empty()) << "a name lookup must not complete inside DnsLookup";
    ASSERT_TRUE(ProcessEventsUntil([&] { return !log.errors.empty(); }));
    EXPECT_EQ(log.errors, std::vector<std::uint16_t>{0});
    EXPECT_EQ(ping.DnsResult(), "127.0.0.1");

    // Lookup first, then ping the result.
    ping.SetAddress(ping.DnsResult());
    ping.SetTimeout(1000);
    EXPECT_EQ(ping.Ping(), 1);
}

TEST_F(TPingTest, FailedLookupReportsItsErrorAndLeavesNoResult)
{
    ScopedHostResolver resolver([](const std::string&) { return HostLookupResult{11001, 0}; });
    TPing ping;
    LookupLog log;
    log.Attach(ping);
    ping.DnsLookup("127.0.0.9");
    ping.DnsLookup("nowhere.invalid");
    EXPECT_EQ(ping.DnsResult(), "") << "a new lookup starts from an empty result";
    ASSERT_TRUE(ProcessEventsUntil([&] { return log.errors.size() == 2; }));
    EXPECT_EQ(log.errors, (std::vector<std::uint16_t>{0, 11001}));
    EXPECT_EQ(ping.DnsResult(), "");
}

TEST_F(TPingTest, ReplacedLookupIsDroppedWithoutAnEvent)
{
    HeldResolver resolver;
    TPing ping;
    LookupLog log;
    log.Attach(ping);
    ping.DnsLookup("first.test");
    ping.DnsLookup("second.test");
    resolver.Release("second.test", {0, AddressValue("127.0.0.2")});
    ASSERT_TRUE(ProcessEventsUntil([&] { return !log.errors.empty(); }));
    // The first one answers late; its completion must be passed over.
    resolver.Release("first.test", {0, AddressValue("127.0.0.1")});
    ASSERT_TRUE(resolver.WaitAnswered(2));
    ProcessEventsFor(100);
    EXPECT_EQ(log.errors, std::vector<std::uint16_t>{0});
    EXPECT_EQ(log.results, std::vector<std::string>{"127.0.0.2"});
    EXPECT_EQ(ping.DnsResult(), "127.0.0.2");
}

TEST_F(TPingTest, CancelReportsInterruptionOnlyWhenALookupIsPending)
{
    HeldResolver resolver;
    TPing ping;
    LookupLog log;
    log.Attach(ping);
    ping.CancelDnsLookup();  // nothing pending
    EXPECT_TRUE(log.errors.empty());

    ping.DnsLookup("slow.test");
    ping.CancelDnsLookup();
    EXPECT_EQ(log.errors, std::vector<std::uint16_t>{10004});
    resolver.Release("slow.test", {0, AddressValue("127.0.0.1")});
    ASSERT_TRUE(resolver.WaitAnswered(1));
    ProcessEventsFor(100);
    EXPECT_EQ(log.errors, std::vector<std::uint16_t>{10004}) << "a cancelled lookup completed";
    EXPECT_EQ(ping.DnsResult(), "");
    ping.CancelDnsLookup();
    EXPECT_EQ(log.errors.size(), 1u);
}

TEST_F(TPingTest, DestructionWithAPendingLookupReportsInterruption)
{
    HeldResolver resolver;
    LookupLog log;
    {
        TPing ping;
        log.Attach(ping);
        ping.DnsLookup("slow.test");
    }
    EXPECT_EQ(log.errors, std::vector<std::uint16_t>{10004});
    resolver.Release("slow.test", {0, AddressValue("127.0.0.1")});
    ASSERT_TRUE(resolver.WaitAnswered(1));
    ProcessEventsFor(100);  // the late answer finds nobody and is dropped
    EXPECT_EQ(log.errors.size(), 1u);
}

TEST_F(TPingTest, CancelFromAForeignThreadIsRefusedWhileALookupIsPending)
{
    HeldResolver resolver;
    TPing ping;
    LookupLog log;
    log.Attach(ping);
    ping.DnsLookup("slow.test");
    std::string refusal;
    std::thread([&] {
        try {
            ping.CancelDnsLookup();
        } catch (const std::runtime_error& error) {
            refusal = error.what();
        }
    }).join();
    EXPECT_EQ(refusal, "WSACancelAsyncRequest failed, error #10022");
    EXPECT_TRUE(log.errors.empty());
    resolver.Release("slow.test", {0, AddressValue("127.0.0.3")});
    ASSERT_TRUE(ProcessEventsUntil([&] { return !log.errors.empty(); })) << "the lookup did not stay pending";
    EXPECT_EQ(ping.DnsResult(), "127.0.0.3");
}

TEST_F(TPingTest, CreatedHerePingedAndReleasedOnWorkerThreads)
{
    constexpr int kWorkers = 8;
    std::vector<TPing*> pings;
    for (int i = 0; i < kWorkers; ++i) {
        pings.push_back(new TPing);
        pings.back()->SetAddress(LoopbackAddress(10 + i));
        pings.back()->SetTimeout(1000);
    }
    std::vector<int> replies(kWorkers, -1);
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i) {
        workers.emplace_back([&, i] {
            replies[i] = pings[i]->Ping() + pings[i]->Ping();
            delete pings[i];
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(replies, std::vector<int>(kWorkers, 2));
}

}  // namespace
