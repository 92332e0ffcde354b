#include "query/distances.h"

#include "browse/distancetext.h"
#include "net/icmp.h"
#include "platform/openfilelimit.h"

#include <memory>
#include <thread>

namespace {

Distance MeasureOnce(TICMP& pinger)
{
    Distance distance;
    const std::int32_t replies = pinger.Ping();
    if (replies > 0)
        distance.roundTripMs = pinger.Reply().RoundTripTime;
    distance.text = DistanceTextFor(replies, distance.roundTripMs.value_or(0),
                                    static_cast<std::int32_t>(pinger.LastError()));
    return distance;
}

}  // namespace

std::vector<Distance> MeasureDistances(const std::vector<std::string>& addresses)
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
            workers.emplace_back([&distances, &pingers, i] { distances[i] = MeasureOnce(*pingers[i]); });
    }
    return distances;
}
