#include "net/echoreply.h"
#include "net/hostlookup.h"
#include "net/lookupstop.h"
#include "support/silentnameservers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct LookupCase {
    const char* name;
    const char* host;
    milliseconds limit;
    milliseconds pullStopAfter;  // negative: never
    std::uint16_t error;
    milliseconds longest;  // the lookup must end within this
};

void PrintTo(const LookupCase& c, std::ostream* out)
{
    *out << c.name;
}

class HostLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(HostLookupTest, EndsWithItsErrorInTime)
{
    const LookupCase& c = GetParam();
    SilentNameServerSocket silent;
    ASSERT_TRUE(silent.Ready());
    LookupStop stop;
    std::jthread puller;
    if (c.pullStopAfter == milliseconds::zero())
        stop.Pull();
    else if (c.pullStopAfter > milliseconds::zero())
        puller = std::jthread([&] {
            // The lookup is under way once the name server is asked.
            silent.QueryCameWithin(milliseconds(2000));
            std::this_thread::sleep_for(c.pullStopAfter);
            stop.Pull();
        });

    const Clock::time_point start = Clock::now();
    const HostLookupResult result = ResolveHostName(c.host, &stop, c.limit);
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    EXPECT_EQ(result.Error, c.error);
    EXPECT_LT(took, c.longest);
    if (c.error == LookupError::TryAgain) {
        EXPECT_GE(took, c.limit);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, HostLookupTest,
    testing::Values(
        LookupCase{"Empty", "", milliseconds(5000), milliseconds(-1), LookupError::HostNotFound, milliseconds(100)},
        LookupCase{"SilentUntilTheLimit", "row.silent.test", milliseconds(1500), milliseconds(-1),
                   LookupError::TryAgain, milliseconds(2500)},
        LookupCase{"StoppedWhileWaiting", "row.silent.test", milliseconds(60000), milliseconds(200),
                   LookupError::Interrupted, milliseconds(1000)},
        LookupCase{"StoppedBefore", "row.silent.test", milliseconds(60000), milliseconds(0),
                   LookupError::Interrupted, milliseconds(100)}),
    [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

TEST(HostLookup, FindsNamesInTheHostsFile)
{
    SilentNameServerSocket silent;  // the hosts file answers, not the name servers
    const HostLookupResult result = ResolveHostName("localhost", nullptr, milliseconds(3000));
    ASSERT_EQ(result.Error, LookupError::Success);
    EXPECT_EQ(FormatDottedAddress(result.Address), "127.0.0.1");
}

}  // namespace
