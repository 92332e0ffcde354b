#include "net/echoreply.h"
#include "net/hostlookup.h"
#include "platform/cancelsignal.h"
#include "support/silentnameservers.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using std::chrono::milliseconds;

struct LookupCase {
    const char *name, *host;
    milliseconds limit;
    milliseconds raiseStopAfter;  // after the name servers were asked; negative: never, zero: before
    std::uint16_t error;
    milliseconds shortest, longest;
};

class HostLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(HostLookupTest, EndsWithItsErrorInTime)
{
    const LookupCase& c = GetParam();
    SilentNameServerSocket silent;
    ASSERT_TRUE(silent.Ready());
    CancelSignal stop;
    if (c.raiseStopAfter == milliseconds::zero())
        stop.Raise();
    std::jthread raiser([&] {
        if (c.raiseStopAfter > milliseconds::zero() && silent.QueryCameWithin(milliseconds(2000))) {
            std::this_thread::sleep_for(c.raiseStopAfter);
            stop.Raise();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ResolveHostName(c.host, &stop, c.limit).Error, c.error);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, c.shortest);
    EXPECT_LT(took, c.longest);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, HostLookupTest,
    testing::Values(LookupCase{"SilentUntilTheLimit", "row.silent.test", milliseconds(1500), milliseconds(-1),
                               LookupError::TryAgain, milliseconds(1500), milliseconds(2500)},
                    LookupCase{"StoppedWhileWaiting", "row.silent.test", milliseconds(60000), milliseconds(200),
                               LookupError::Interrupted, milliseconds(200), milliseconds(1000)},
                    LookupCase{"StoppedBefore", "row.silent.test", milliseconds(60000), milliseconds(0),
                               LookupError::Interrupted, milliseconds(0), milliseconds(100)}),
    [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

}  // namespace
