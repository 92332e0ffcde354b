#include "net/echotimestamps.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kSecond = 1000 * kMs;
// Arbitrary readings of the two clocks when the request is sent.
constexpr std::int64_t kSentReal = 1'800'000'000 * kSecond;
constexpr std::int64_t kSentMonotonic = 5000 * kSecond;

struct ClockStepCase {
    const char* name;
    std::int64_t step;              // how far the real-time clock jumps during the echo
    std::optional<std::int64_t> left;     // kernel stamps, as real-time offsets from the send
    std::optional<std::int64_t> arrived;  // before the step is added
    std::int64_t handedOver;        // monotonic time from send to handover
    std::int64_t roundTrip;
};

void PrintTo(const ClockStepCase& c, std::ostream* out)
{
    *out << c.name;
}

class RoundTripTest : public testing::TestWithParam<ClockStepCase> {};

// The step falls between the transmit and the receive stamp.
TEST_P(RoundTripTest, IsTheTravelTimeWhateverTheClockDid)
{
    const ClockStepCase& c = GetParam();
    EchoTimes times;
    times.sent = {kSentReal, kSentMonotonic};
    times.handedOver = {kSentReal + c.handedOver + c.step, kSentMonotonic + c.handedOver};
    if (c.left)
        times.leftAt = kSentReal + *c.left;
    if (c.arrived)
        times.arrivedAt = kSentReal + *c.arrived + c.step;
    EXPECT_EQ(RoundTripNanoseconds(times), c.roundTrip);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RoundTripTest,
    testing::Values(
        // Without a step the kernel's stamps leave out the wait for the CPU.
        ClockStepCase{"SteadyKernelStamps", 0, 1 * kMs, 9 * kMs, 15 * kMs, 8 * kMs},
        ClockStepCase{"SteadyOwnReadings", 0, std::nullopt, std::nullopt, 15 * kMs, 15 * kMs},
        ClockStepCase{"SlewedWithinTheDrift", 300'000, 1 * kMs, 9 * kMs, 15 * kMs, 8 * kMs + 300'000},
        // A step would make the echo "too far", or give a time of 0 or of hours.
        ClockStepCase{"ForwardTenSeconds", 10 * kSecond, 1 * kMs, 9 * kMs, 15 * kMs, 15 * kMs},
        ClockStepCase{"BackOneHour", -3600 * kSecond, 1 * kMs, 9 * kMs, 15 * kMs, 15 * kMs},
        ClockStepCase{"BackAFewMilliseconds", -5 * kMs, 1 * kMs, 4 * kMs, 15 * kMs, 15 * kMs},
        ClockStepCase{"ForwardWithoutKernelStamps", 2 * kSecond, std::nullopt, std::nullopt, 15 * kMs, 15 * kMs},
        ClockStepCase{"BackWithOnlyTheReceiveStamp", -2 * kSecond, std::nullopt, 9 * kMs, 15 * kMs, 15 * kMs},
        // Stamps outside the exchange cannot be its own.
        ClockStepCase{"StampBeforeTheSend", 0, -40 * kMs, 9 * kMs, 15 * kMs, 15 * kMs}),
    [](const testing::TestParamInfo<ClockStepCase>& info) { return std::string(info.param.name); });

}  // namespace
