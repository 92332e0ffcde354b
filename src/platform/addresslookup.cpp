#include "platform/addresslookup.h"

#include "platform/tcpclient.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

std::mutex resolverMutex;
ScopedIpv4Resolver::Resolver resolverOverride;

// Names under ".invalid" are reserved never to resolve; answering that here
// spares a pointless query to the name servers.
bool IsReservedInvalidName(std::string host)
{
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!host.empty() && host.back() == '.')
        host.pop_back();
    constexpr std::string_view suffix = ".invalid";
    return host == "invalid" || (host.size() > suffix.size() && host.ends_with(suffix));
}

[[noreturn]] void FailToResolve(const std::string& host, const std::string& reason = {})
{
    throw TcpResolveError("cannot resolve host \"" + host + "\"" + (reason.empty() ? "" : ": " + reason));
}

// What needs no resolver: address texts, and names that cannot resolve.
std::optional<Ipv4Addresses> AnswerWithoutResolver(const std::string& host)
{
    if (host.empty() || IsReservedInvalidName(host))
        FailToResolve(host);
    in_addr parsed{};
    if (inet_aton(host.c_str(), &parsed) != 0)
        return Ipv4Addresses{parsed.s_addr};
    return std::nullopt;
}

Ipv4Addresses SystemResolve(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;  // one entry per address instead of one per socket type
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0)
        FailToResolve(host, status == EAI_SYSTEM ? std::system_category().message(errno) : gai_strerror(status));
    Ipv4Addresses addresses;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next)
        if (entry->ai_family == AF_INET && entry->ai_addr)
            addresses.push_back(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    if (addresses.empty())
        FailToResolve(host);
    return addresses;
}

ScopedIpv4Resolver::Resolver CurrentResolver()
{
    std::lock_guard lock(resolverMutex);
    return resolverOverride ? resolverOverride : SystemResolve;
}

// Where a lookup thread leaves its outcome. Shared with the thread, so a
// waiter that gives up can simply leave.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    Ipv4Addresses addresses;
    std::exception_ptr error;
};

}  // namespace

Ipv4Addresses LookUpIpv4(const std::string& host)
{
    if (std::optional<Ipv4Addresses> answer = AnswerWithoutResolver(host))
        return *std::move(answer);
    return CurrentResolver()(host);
}

Ipv4Addresses LookUpIpv4Within(const std::string& host, std::chrono::milliseconds wait,
                               const std::function<bool()>& abandoned)
{
    if (wait <= std::chrono::milliseconds::zero() && !abandoned)
        return LookUpIpv4(host);
    if (std::optional<Ipv4Addresses> answer = AnswerWithoutResolver(host))
        return *std::move(answer);

    const auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, resolver = CurrentResolver(), host] {
            Ipv4Addresses addresses;
            std::exception_ptr error;
            try {
                addresses = resolver(host);
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard lock(pending->mutex);
            pending->addresses = std::move(addresses);
            pending->error = error;
            pending->done = true;
            pending->finished.notify_all();
        }).detach();
    } catch (const std::system_error& error) {
        FailToResolve(host, error.what());
    }

    // Whoever abandons the lookup is heard within a slice; without one the
    // wait is a single one.
    constexpr auto abandonSlice = std::chrono::milliseconds(10);
    const bool limited = wait > std::chrono::milliseconds::zero();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(pending->mutex);
    while (!pending->done) {
        if (abandoned && abandoned())
            throw TcpCancelledError("looking up \"" + host + "\" was abandoned");
        const auto now = std::chrono::steady_clock::now();
        if (limited && now >= deadline)
            throw TcpTimeoutError("looking up \"" + host + "\" timed out after " + std::to_string(wait.count())
                                  + " ms");
        auto until = limited ? deadline : now + abandonSlice;
        if (abandoned)
            until = std::min(until, now + abandonSlice);
        pending->finished.wait_until(lock, until);
    }
    if (pending->error)
        std::rethrow_exception(pending->error);
    return std::move(pending->addresses);
}

ScopedIpv4Resolver::ScopedIpv4Resolver(Resolver resolver)
{
    std::lock_guard lock(resolverMutex);
    previous_ = std::exchange(resolverOverride, std::move(resolver));
}

ScopedIpv4Resolver::~ScopedIpv4Resolver()
{
    std::lock_guard lock(resolverMutex);
    resolverOverride = std::move(previous_);
}
