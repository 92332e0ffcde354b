#include "net/nameserverlookup.h"

#include "net/echoreply.h"
#include "platform/cancelsignal.h"

#include <ares.h>
#include <netinet/in.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// Without a wake-up descriptor the stop is looked at this often.
constexpr auto kStopCheckInterval = std::chrono::milliseconds(50);

// The first try of each name server waits this long; each further try twice as
// long, as long as the overall limit allows.
constexpr int kTryTimeoutMs = 1000;
constexpr int kTries = 2;

bool LibraryReady()
{
    static const bool ready = ares_library_init(ARES_LIB_INIT_ALL) == ARES_SUCCESS;
    return ready;
}

std::uint16_t LookupErrorFromAres(int status)
{
    switch (status) {
    case ARES_ENOTFOUND:
    case ARES_ENODATA:
    case ARES_ENONAME:
    case ARES_EBADNAME:
        return LookupError::HostNotFound;
    case ARES_ETIMEOUT:
    case ARES_ECONNREFUSED:
    case ARES_ESERVFAIL:
    case ARES_EREFUSED:
        return LookupError::TryAgain;
    case ARES_ECANCELLED:
    case ARES_EDESTRUCTION:
        return LookupError::Interrupted;
    case ARES_ENOMEM:
        return LookupError::NoBufferSpace;
    default:
        return LookupError::NoRecovery;
    }
}

struct Outcome {
    bool done = false;
    HostLookupResult result;
};

void Finished(void* argument, int status, int /*timeouts*/, ares_addrinfo* found)
{
    Outcome& outcome = *static_cast<Outcome*>(argument);
    outcome.done = true;
    outcome.result = {status == ARES_SUCCESS ? LookupError::HostNotFound : LookupErrorFromAres(status), 0};
    for (const ares_addrinfo_node* node = found ? found->nodes : nullptr; node; node = node->ai_next) {
        if (node->ai_family == AF_INET && node->ai_addr) {
            outcome.result = {LookupError::Success, reinterpret_cast<const sockaddr_in*>(node->ai_addr)->sin_addr.s_addr};
            break;
        }
    }
    if (found)
        ares_freeaddrinfo(found);
}

struct ChannelDeleter {
    void operator()(ares_channeldata* channel) const { ares_destroy(channel); }
};
using Channel = std::unique_ptr<ares_channeldata, ChannelDeleter>;

int PollTimeoutMs(const timeval& wait)
{
    return static_cast<int>(wait.tv_sec * 1000 + (wait.tv_usec + 999) / 1000);
}

}  // namespace

HostLookupResult LookUpWithNameServers(const std::string& name, const CancelSignal* stop,
                                       std::chrono::milliseconds limit, const std::string& nameServers)
{
    if (stop && stop->Raised())
        return {LookupError::Interrupted, 0};
    if (name.empty())
        return {LookupError::HostNotFound, 0};
    if (!LibraryReady())
        return {LookupError::NoRecovery, 0};

    // Before the channel: destroying the channel reports a lookup still pending
    // to the outcome, which must still be there.
    Outcome outcome;
    ares_options options{};
    options.timeout = kTryTimeoutMs;
    options.tries = kTries;
    ares_channel raw = nullptr;
    const int initStatus = ares_init_options(&raw, &options, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES);
    if (initStatus != ARES_SUCCESS)
        return {LookupErrorFromAres(initStatus), 0};
    const Channel channel(raw);
    if (!nameServers.empty() && ares_set_servers_ports_csv(raw, nameServers.c_str()) != ARES_SUCCESS)
        return {LookupError::NoRecovery, 0};

    ares_addrinfo_hints hints{};
    hints.ai_family = AF_INET;
    ares_getaddrinfo(raw, name.c_str(), nullptr, &hints, Finished, &outcome);

    const Clock::time_point deadline = Clock::now() + std::max(limit, std::chrono::milliseconds::zero());
    const int stopFd = stop ? stop->PollFd() : -1;
    while (!outcome.done) {
        if (stop && stop->Raised())
            return {LookupError::Interrupted, 0};
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return {LookupError::TryAgain, 0};

        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int wanted = ares_getsock(raw, sockets, ARES_GETSOCK_MAXNUM);
        pollfd watched[ARES_GETSOCK_MAXNUM + 1];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            short events = 0;
            if (ARES_GETSOCK_READABLE(wanted, i))
                events |= POLLIN;
            if (ARES_GETSOCK_WRITABLE(wanted, i))
                events |= POLLOUT;
            if (events)
                watched[count++] = {sockets[i], events, 0};
        }
        const nfds_t lookupSockets = count;
        if (stopFd >= 0)
            watched[count++] = {stopFd, POLLIN, 0};

        auto wait = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        if (stop && stopFd < 0)
            wait = std::min<std::chrono::microseconds>(wait, kStopCheckInterval);
        timeval longest{static_cast<time_t>(wait.count() / 1'000'000),
                        static_cast<suseconds_t>(wait.count() % 1'000'000)};
        timeval room{};
        const timeval* until = ares_timeout(raw, &longest, &room);
        const int ready = poll(watched, count, PollTimeoutMs(*until));
        if (ready < 0 && errno != EINTR)
            return {LookupError::NoRecovery, 0};
        if (ready <= 0) {
            ares_process_fd(raw, ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // retries and time-outs
            continue;
        }
        for (nfds_t i = 0; i < lookupSockets && !outcome.done; ++i) {
            const short got = watched[i].revents;
            if (!got)
                continue;
            ares_process_fd(raw, got & (POLLIN | POLLERR | POLLHUP) ? watched[i].fd : ARES_SOCKET_BAD,
                            got & POLLOUT ? watched[i].fd : ARES_SOCKET_BAD);
        }
    }
    return outcome.result;
}
