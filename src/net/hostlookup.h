#pragma once
// IPv4 address texts and host-name lookups, shared by TICMP and TPing.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Outcome of one lookup: Error 0 and the first IPv4 address (network byte order),
// or a nonzero LookupError code.
struct HostLookupResult {
    std::uint16_t Error = 0;
    std::uint32_t Address = 0;
};

// Parses every dotted form the classic address parser accepts ("127.1", "0x7f.0.0.1",
// "2130706433"); the result is in network byte order. Names give nothing.
std::optional<std::uint32_t> ParseDottedAddress(const std::string& text);

// Four-part dotted text of a network-order address.
std::string FormatDottedAddress(std::uint32_t address);

class CancelSignal;

// How long a lookup may wait for silent name servers before it fails with
// LookupError::TryAgain.
inline constexpr std::chrono::milliseconds HostLookupLimit{5000};

// Looks a host name up (IPv4 only) on the calling thread, for at most limit.
// Gives LookupError::Interrupted at once when stop (which may be null) is
// raised or becomes raised.
HostLookupResult ResolveHostName(const std::string& name, const CancelSignal* stop = nullptr,
                                 std::chrono::milliseconds limit = HostLookupLimit);

// Lets tests replace the system resolver for as long as the object lives. Lookups on
// every thread go through the replacement; install it before any lookup starts. The
// replacement is not given the stop: it answers when it likes.
class ScopedHostResolver {
public:
    using Resolver = std::function<HostLookupResult(const std::string&)>;
    explicit ScopedHostResolver(Resolver resolver);
    ~ScopedHostResolver();
    ScopedHostResolver(const ScopedHostResolver&) = delete;
    ScopedHostResolver& operator=(const ScopedHostResolver&) = delete;

private:
    Resolver previous_;
};

// Lets tests send lookups to other name servers ("127.0.0.1:5353") for as long as
// the object lives, on every thread; the hosts file is still read first.
class ScopedNameServers {
public:
    explicit ScopedNameServers(std::string servers);
    ~ScopedNameServers();
    ScopedNameServers(const ScopedNameServers&) = delete;
    ScopedNameServers& operator=(const ScopedNameServers&) = delete;

private:
    std::string previous_;
};
