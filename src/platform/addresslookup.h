#pragma once
// IPv4 host-name lookups for TCP connections, bounded in time: the system's
// resolver may wait on silent name servers far longer than any exchange may
// last, so a lookup that runs on is abandoned rather than waited for.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Addresses in network byte order, in the order the resolver gives them.
using Ipv4Addresses = std::vector<std::uint32_t>;

// Looks host up, blocking the calling thread as long as the resolver takes.
// An address text ("127.0.0.1", "127.1") is answered without a lookup; names
// under ".invalid" never resolve. Throws TcpResolveError when nothing is found.
Ipv4Addresses LookUpIpv4(const std::string& host);

// The same, but gives up after wait (zero waits for ever) with a
// TcpTimeoutError, or as soon as abandoned() holds with a TcpCancelledError.
// The lookup then finishes on a thread of its own and its result is dropped.
Ipv4Addresses LookUpIpv4Within(const std::string& host, std::chrono::milliseconds wait,
                               const std::function<bool()>& abandoned = {});

// Lets tests replace the system's resolver for names (not address texts) for
// as long as the object lives, on every thread. A lookup already running keeps
// the resolver it started with.
class ScopedIpv4Resolver {
public:
    using Resolver = std::function<Ipv4Addresses(const std::string& host)>;
    explicit ScopedIpv4Resolver(Resolver resolver);
    ~ScopedIpv4Resolver();
    ScopedIpv4Resolver(const ScopedIpv4Resolver&) = delete;
    ScopedIpv4Resolver& operator=(const ScopedIpv4Resolver&) = delete;

private:
    Resolver previous_;
};
