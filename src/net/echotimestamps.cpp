#include "net/echotimestamps.h"

#include <linux/errqueue.h>
#include <linux/net_tstamp.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

std::int64_t Nanoseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// How far the two clocks may drift apart without a step: a time server slews
// the real-time clock by at most 500 ppm, and the two readings of a pair are
// not taken at the very same instant.
std::int64_t DriftAllowance(std::int64_t elapsed)
{
    return 1'000'000 + elapsed / 1000;
}

}  // namespace

ClockReadings ReadClocks()
{
    ClockReadings readings;
    readings.real = Nanoseconds(CLOCK_REALTIME);
    readings.monotonic = Nanoseconds(CLOCK_MONOTONIC);
    return readings;
}

std::int64_t RoundTripNanoseconds(const EchoTimes& times)
{
    const std::int64_t monotonic = std::max<std::int64_t>(0, times.handedOver.monotonic - times.sent.monotonic);
    const std::int64_t allowance = DriftAllowance(monotonic);
    const std::int64_t offsetAtSend = times.sent.real - times.sent.monotonic;
    const std::int64_t offsetAtHandover = times.handedOver.real - times.handedOver.monotonic;
    if (std::abs(offsetAtHandover - offsetAtSend) > allowance)
        return monotonic;
    const KernelNanoseconds left = times.leftAt.value_or(times.sent.real);
    const KernelNanoseconds arrived = times.arrivedAt.value_or(times.handedOver.real);
    if (left < times.sent.real - allowance || arrived > times.handedOver.real + allowance || arrived < left)
        return monotonic;
    return arrived - left;
}

bool EnableKernelTimestamps(int socketDescriptor)
{
    // Transmit reports carry a copy of the packet, which tells whose request it was,
    // so that requests can be sent side by side from many threads.
    const int flags = SOF_TIMESTAMPING_TX_SOFTWARE | SOF_TIMESTAMPING_RX_SOFTWARE | SOF_TIMESTAMPING_SOFTWARE;
    return setsockopt(socketDescriptor, SOL_SOCKET, SO_TIMESTAMPING, &flags, sizeof flags) == 0;
}

std::optional<KernelNanoseconds> MessageTimestamp(const msghdr& message)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(const_cast<msghdr*>(&message), c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPING)
            continue;
        scm_timestamping stamps{};
        std::memcpy(&stamps, CMSG_DATA(c), sizeof stamps);
        const timespec& software = stamps.ts[0];
        if (software.tv_sec == 0 && software.tv_nsec == 0)
            return std::nullopt;
        return static_cast<KernelNanoseconds>(software.tv_sec) * 1'000'000'000 + software.tv_nsec;
    }
    return std::nullopt;
}

std::uint32_t WholeMilliseconds(std::int64_t nanoseconds)
{
    return nanoseconds <= 0 ? 0 : static_cast<std::uint32_t>(nanoseconds / 1'000'000);
}
