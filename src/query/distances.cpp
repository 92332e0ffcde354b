#include "query/distances.h"

#include "net/echoreply.h"
#include "net/icmp.h"

#include <memory>
#include <thread>

#include <sys/resource.h>

namespace {

Distance MeasureOnce(TICMP& pinger)
{
    Distance distance;
    if (pinger.Ping() > 0) {
        distance.roundTripMs = pinger.Reply().RoundTripTime;
        distance.text = std::to_string(*distance.roundTripMs) + " ms";
    } else if (pinger.LastError() == EchoStatus::TimedOut) {
        distance.text = "too far";
    }
    return distance;
}

// Each pinger may hold a socket of its own, and a long list needs more of
// them than the usual soft limit allows; the hard limit is ours to take.
void AllowAllOpenFiles()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

std::vector<Distance> MeasureDistances(const std::vector<std::string>& addresses)
{
    // Every pinger is set up first, so that a missing echo service is told
    // before any request goes out.
    AllowAllOpenFiles();
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
