#include "net/echotimestamps.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kMs = 1'000'000, kSecond = 1000 * kMs;
constexpr std::int64_t kSentReal = 1'800'000'000 * kSecond, kSentMonotonic = 5000 * kSecond;
constexpr std::optional<std::int64_t> kNone;

// Times are from the send; the real-time clock jumps by step between the
// transmit and the receive stamp, and the answer is handed over 15 ms in.
struct ClockStepCase {
    const char* name;
    std::int64_t step;
    std::optional<std::int64_t> left, arrived;
    std::int64_t roundTrip;
};

class RoundTripTest : public testing::TestWithParam<ClockStepCase> {};

TEST_P(RoundTripTest, IsTheTravelTimeWhateverTheClockDid)
{
    const ClockStepCase& c = GetParam();
    EchoTimes times{{kSentReal, kSentMonotonic}, {kSentReal + 15 * kMs + c.step, kSentMonotonic + 15 * kMs}, {}, {}};
    if (c.left)
        times.leftAt = kSentReal + *c.left;
    if (c.arrived)
        times.arrivedAt = kSentReal + *c.arrived + c.step;
    EXPECT_EQ(RoundTripNanoseconds(times), c.roundTrip);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RoundTripTest,
    testing::Values(ClockStepCase{"SteadyKernelStamps", 0, 1 * kMs, 9 * kMs, 8 * kMs},
                    ClockStepCase{"SteadyOwnReadings", 0, kNone, kNone, 15 * kMs},
                    ClockStepCase{"SlewedWithinTheDrift", 300'000, 1 * kMs, 9 * kMs, 8 * kMs + 300'000},
                    // Each step would give a false "too far", or a time of 0 or hours.
                    ClockStepCase{"ForwardTenSeconds", 10 * kSecond, 1 * kMs, 9 * kMs, 15 * kMs},
                    ClockStepCase{"BackOneHour", -3600 * kSecond, 1 * kMs, 9 * kMs, 15 * kMs},
                    ClockStepCase{"BackAFewMilliseconds", -5 * kMs, 1 * kMs, 4 * kMs, 15 * kMs},
                    ClockStepCase{"ForwardWithoutKernelStamps", 2 * kSecond, kNone, kNone, 15 * kMs},
                    ClockStepCase{"BackWithOnlyTheReceiveStamp", -2 * kSecond, kNone, 9 * kMs, 15 * kMs},
                    ClockStepCase{"StampBeforeTheSend", 0, -40 * kMs, 9 * kMs, 15 * kMs}),
    [](const testing::TestParamInfo<ClockStepCase>& info) { return std::string(info.param.name); });

}  // namespace
