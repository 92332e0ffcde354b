// Echoes to a host on a link of the test's own: a veth pair between two namespaces,
// the far end answered by our responder with a set delay, or not at all.

#include "echolabtest.h"
#include "echopath.h"

#include "net/icmp.h"
#include "support/timescale.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class EchoAcrossLink : public EchoLabTest {
protected:
    // Runs fn with a fresh echo object of the kind under test at the near end.
    void WithIcmp(const std::function<void(TICMP&)>& fn)
    {
        lab_->Near().Run([&] {
            TICMP icmp(GetParam());
            fn(icmp);
        });
    }
};

TEST_P(EchoAcrossLink, SlowServerIsMeasuredAsItsDelayDespiteDecoys)
{
    WithIcmp([](TICMP& icmp) {
        icmp.SetAddress(LabAddress::Slow);
        icmp.SetTimeout(1000);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(icmp.Ping(), 1) << "echo " << i << ": error " << icmp.LastError();
            EXPECT_EQ(icmp.LastError(), 0u);
            EXPECT_GE(icmp.Reply().RoundTripTime, kServerDelayMs);
            EXPECT_LE(icmp.Reply().RoundTripTime, kServerDelayMs + ScaledMs(40));
            EXPECT_EQ(icmp.Reply().Address, AddressValue(LabAddress::Slow));
        }
    });
}

TEST_P(EchoAcrossLink, SilentServerTimesOutAfterTheTimeout)
{
    WithIcmp([](TICMP& icmp) {
        int replyEvents = 0;
        icmp.OnEchoReply = [&](TICMP*, int error) {
            EXPECT_EQ(error, 0);
            ++replyEvents;
        };
        icmp.SetAddress(LabAddress::Silent);
        icmp.SetTimeout(300);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(icmp.Ping(), 0);
        const long long elapsed = MillisecondsSince(start);
        EXPECT_EQ(icmp.LastError(), 11010u);
        EXPECT_EQ(icmp.Reply().Status, 11010u);
        EXPECT_EQ(icmp.Reply().RoundTripTime, 0u);
        EXPECT_GE(elapsed, 300);
        EXPECT_LT(elapsed, 300 + ScaledMs(300));
        EXPECT_EQ(replyEvents, 1);
    });
}

TEST_P(EchoAcrossLink, LateAnswerToAnEarlierRequestIsNotTakenForTheNext)
{
    WithIcmp([](TICMP& icmp) {
        icmp.SetAddress(LabAddress::Slow);
        icmp.SetTimeout(15);
        EXPECT_EQ(icmp.Ping(), 0);
        EXPECT_EQ(icmp.LastError(), 11010u);
        // The first answer arrives about 30 ms into this echo; ours only after 47.
        icmp.SetTimeout(1000);
        ASSERT_EQ(icmp.Ping(), 1);
        EXPECT_GE(icmp.Reply().RoundTripTime, kServerDelayMs);
    });
}

TEST_P(EchoAcrossLink, ErrorAnswersGiveTheirStatusAndNoReply)
{
    WithIcmp([](TICMP& icmp) {
        icmp.SetTimeout(1000);
        icmp.SetAddress(LabAddress::Unreachable);
        EXPECT_EQ(icmp.Ping(), 0);
        EXPECT_EQ(icmp.LastError(), 11003u);
        EXPECT_EQ(icmp.Reply().Status, 11003u);
        EXPECT_EQ(icmp.Reply().Address, AddressValue(LabAddress::Unreachable));

        icmp.SetAddress(LabAddress::TtlExpired);
        EXPECT_EQ(icmp.Ping(), 0);
        EXPECT_EQ(icmp.LastError(), 11013u);
        EXPECT_EQ(icmp.Reply().Address, AddressValue(LabAddress::Unreachable)) << "not the sender of the error";

        // And back to a host that answers.
        icmp.SetAddress(LabAddress::Slow);
        EXPECT_EQ(icmp.Ping(), 1);
        EXPECT_EQ(icmp.LastError(), 0u);
    });
}

TEST_P(EchoAcrossLink, DontFragmentKeepsLargeRequestsFromLeaving)
{
    WithIcmp([](TICMP& icmp) {
        icmp.SetAddress(LabAddress::Silent);
        icmp.SetTimeout(100);
        icmp.SetSize(1600);  // more than the link's 1500 bytes
        icmp.SetFlags(0x02);
        EXPECT_EQ(icmp.Ping(), 0);
        EXPECT_EQ(icmp.LastError(), 11009u);
        icmp.SetFlags(0);  // fragments go out; the silent host just does not answer
        EXPECT_EQ(icmp.Ping(), 0);
        EXPECT_EQ(icmp.LastError(), 11010u);
    });
}

INSTANTIATE_TEST_SUITE_P(BothSocketKinds, EchoAcrossLink,
                         testing::Values(EchoSocketKind::Raw, EchoSocketKind::Datagram),
                         SocketKindTestName);

}  // namespace
