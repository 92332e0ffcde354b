#include "query/distances.h"

#include "browse/distancetext.h"
#include "net/echoreply.h"
#include "net/icmp.h"
#include "platform/openfilelimit.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numeric>
#include <thread>

namespace {

Distance Measure(TICMP& pinger, int echoCount)
{
    Distance distance;
    std::uint32_t lastError = EchoStatus::Success;
    auto nextEcho = std::chrono::steady_clock::now();
    for (int echo = 0; echo < echoCount; ++echo) {
        std::this_thread::sleep_until(nextEcho);
        nextEcho += std::chrono::milliseconds(EchoSpacingMs);
        const std::int32_t replies = pinger.Ping();
        lastError = pinger.LastError();
        // Only an address that cannot be used keeps the request from going out.
        if (lastError != EchoStatus::BadDestination)
            ++distance.sent;
        if (replies > 0)
            distance.roundTrips.push_back(pinger.Reply().RoundTripTime);
        // As in the table, a failure other than a time-out ends the measuring.
        else if (lastError != EchoStatus::TimedOut)
            break;
    }
    if (const std::optional<double> average = AverageMs(distance))
        distance.roundTripMs = static_cast<std::uint32_t>(std::lround(*average));
    const bool answered = distance.roundTripMs.has_value();
    // After several echoes a timed-out last one does not hide the answered ones.
    distance.text = DistanceTextFor(answered ? 1 : 0, distance.roundTripMs.value_or(0),
                                    static_cast<std::int32_t>(answered ? EchoStatus::Success : lastError));
    return distance;
}

}  // namespace

std::vector<Distance> MeasureDistances(const std::vector<std::string>& addresses, int echoCount)
{
    // Every pinger is set up first, so that a missing echo service is told
    // before any request goes out.
    RaiseOpenFileLimit();
    std::vector<std::unique_ptr<TICMP>> pingers;
    pingers.reserve(addresses.size());
    for (const std::string& address : addresses) {
        auto pinger = std::make_unique<TICMP>();
        pinger->SetAddress(address);
        pinger->SetTimeout(EchoTimeoutMs);
        pingers.push_back(std::move(pinger));
    }

    std::vector<Distance> distances(addresses.size());
    {
        // One thread per server, as each echo blocks for up to the time-out;
        // leaving this block joins them all, also when one fails to start.
        std::vector<std::jthread> workers;
        workers.reserve(pingers.size());
        for (std::size_t i = 0; i < pingers.size(); ++i)
            workers.emplace_back(
                [&distances, &pingers, i, echoCount] { distances[i] = Measure(*pingers[i], echoCount); });
    }
    return distances;
}

std::optional<std::uint32_t> FastestMs(const Distance& distance)
{
    if (distance.roundTrips.empty())
        return std::nullopt;
    return std::ranges::min(distance.roundTrips);
}

std::optional<double> AverageMs(const Distance& distance)
{
    if (distance.roundTrips.empty())
        return std::nullopt;
    const double sum = std::accumulate(distance.roundTrips.begin(), distance.roundTrips.end(), 0.0);
    return sum / static_cast<double>(distance.roundTrips.size());
}

std::optional<std::uint32_t> SlowestMs(const Distance& distance)
{
    if (distance.roundTrips.empty())
        return std::nullopt;
    return std::ranges::max(distance.roundTrips);
}

std::optional<double> LossPercent(const Distance& distance)
{
    if (distance.sent == 0)
        return std::nullopt;
    const auto lost = static_cast<double>(distance.sent) - static_cast<double>(distance.roundTrips.size());
    return 100.0 * lost / static_cast<double>(distance.sent);
}
