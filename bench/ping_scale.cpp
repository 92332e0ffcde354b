// Many distance measurements at once: N echo objects on N threads, each pinging its
// own loopback address once a second, as the server table does for N servers.
// Prints the CPU time spent per echo and the spread of the measured round trips.
//
//   bench_ping_scale [instances=1000] [seconds=10] [auto|raw|datagram]
//
// Raw ICMP sockets need root (or CAP_NET_RAW) unless the datagram kind is allowed.

#include "net/icmp.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Each instance holds one socket; leave room for them and the rest of the process.
void RaiseDescriptorLimit(int instances)
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t wanted = static_cast<rlim_t>(instances) * 2 + 64;
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = std::min(wanted, limit.rlim_max);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

template <typename T>
void PrintSpread(const char* what, std::vector<T> values, const char* unit)
{
    if (values.empty()) {
        std::printf("%s: no values\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double fraction) {
        return values[std::min(values.size() - 1, static_cast<std::size_t>(fraction * static_cast<double>(values.size())))];
    };
    std::printf("%s: min %lld, median %lld, p99 %lld, max %lld %s\n", what, static_cast<long long>(values.front()),
                static_cast<long long>(at(0.5)), static_cast<long long>(at(0.99)),
                static_cast<long long>(values.back()), unit);
}

EchoSocketKind KindFromText(const std::string& text)
{
    if (text == "raw")
        return EchoSocketKind::Raw;
    if (text == "datagram")
        return EchoSocketKind::Datagram;
    return EchoSocketKind::Automatic;
}

}  // namespace

int main(int argc, char** argv)
{
    const int instances = std::clamp(argc > 1 ? std::atoi(argv[1]) : 1000, 1, 20000);
    const int seconds = std::clamp(argc > 2 ? std::atoi(argv[2]) : 10, 1, 600);
    const EchoSocketKind kind = KindFromText(argc > 3 ? argv[3] : "auto");
    RaiseDescriptorLimit(instances);

    std::vector<std::unique_ptr<TICMP>> pingers;
    try {
        for (int i = 0; i < instances; ++i) {
            auto icmp = std::make_unique<TICMP>(kind);
            // Loopback addresses spread over 127.10.0.1 and up.
            icmp->SetAddress("127." + std::to_string(10 + i / 250) + "." + std::to_string(i % 250 + 1) + ".1");
            icmp->SetTimeout(1000);
            pingers.push_back(std::move(icmp));
        }
    } catch (const TICMPException& error) {
        std::fprintf(stderr, "instance %zu: %s (raw sockets need root)\n", pingers.size(), error.what());
        return 1;
    }
    const char* kindName = pingers.front()->SocketKind() == EchoSocketKind::Raw ? "raw" : "datagram";

    std::mutex resultsMutex;
    std::vector<std::uint32_t> roundTripsMs;
    std::vector<long long> callTimesUs;
    std::atomic<int> replies{0}, failures{0};
    roundTripsMs.reserve(static_cast<std::size_t>(instances) * static_cast<std::size_t>(seconds));
    callTimesUs.reserve(roundTripsMs.capacity());

    const double cpuBefore = CpuSeconds();
    const Clock::time_point start = Clock::now() + std::chrono::milliseconds(200);
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(instances));
    for (int i = 0; i < instances; ++i) {
        threads.emplace_back([&, i] {
            TICMP& icmp = *pingers[static_cast<std::size_t>(i)];
            // Start times spread over the first second, as rows are added one by one.
            Clock::time_point next = start + std::chrono::microseconds(1000000LL * i / instances);
            std::vector<std::uint32_t> myTrips;
            std::vector<long long> myCalls;
            for (int round = 0; round < seconds; ++round) {
                std::this_thread::sleep_until(next);
                const Clock::time_point sent = Clock::now();
                const int n = icmp.Ping();
                const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count();
                if (n > 0) {
                    ++replies;
                    myTrips.push_back(icmp.Reply().RoundTripTime);
                    myCalls.push_back(took);
                } else {
                    ++failures;
                }
                next += std::chrono::seconds(1);
            }
            std::lock_guard lock(resultsMutex);
            roundTripsMs.insert(roundTripsMs.end(), myTrips.begin(), myTrips.end());
            callTimesUs.insert(callTimesUs.end(), myCalls.begin(), myCalls.end());
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const double cpuUsed = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();

    const int echoes = replies + failures;
    std::printf("%d instances (%s sockets), %d s: %d echoes, %d replies, %d without reply, %.1f s wall\n",
                instances, kindName, seconds, echoes, replies.load(), failures.load(), wall);
    std::printf("CPU time: %.3f s in all, %.1f us per echo\n", cpuUsed, echoes ? cpuUsed * 1e6 / echoes : 0.0);
    PrintSpread("round-trip time (reply record)", roundTripsMs, "ms");
    PrintSpread("time inside Ping", callTimesUs, "us");
    return failures == 0 ? 0 : 2;
}
