#pragma once
// IPv4 address texts and blocking host-name lookups, shared by TICMP and TPing.

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

// Looks a host name up (IPv4 only), blocking the calling thread.
HostLookupResult ResolveHostName(const std::string& name);

// Lets tests replace the system resolver for as long as the object lives. Lookups on
// every thread go through the replacement; install it before any lookup starts.
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
