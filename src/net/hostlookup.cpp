#include "net/hostlookup.h"

#include "net/echoreply.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <mutex>
#include <utility>

namespace {

std::mutex resolverMutex;
ScopedHostResolver::Resolver resolverOverride;

std::uint16_t LookupErrorFromGai(int gaiError)
{
    switch (gaiError) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        return LookupError::HostNotFound;
    case EAI_AGAIN:
        return LookupError::TryAgain;
    default:
        return LookupError::NoRecovery;
    }
}

HostLookupResult SystemResolve(const std::string& name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;  // one entry per address instead of one per socket type
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (rc != 0)
        return {LookupErrorFromGai(rc), 0};
    HostLookupResult result{LookupError::HostNotFound, 0};
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr) {
            result = {LookupError::Success,
                      reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr};
            break;
        }
    }
    freeaddrinfo(found);
    return result;
}

}  // namespace

std::optional<std::uint32_t> ParseDottedAddress(const std::string& text)
{
    in_addr parsed{};
    if (text.empty() || inet_aton(text.c_str(), &parsed) == 0)
        return std::nullopt;
    return parsed.s_addr;
}

std::string FormatDottedAddress(std::uint32_t address)
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr value{};
    value.s_addr = address;
    inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}

HostLookupResult ResolveHostName(const std::string& name)
{
    ScopedHostResolver::Resolver resolver;
    {
        std::lock_guard lock(resolverMutex);
        resolver = resolverOverride;
    }
    return resolver ? resolver(name) : SystemResolve(name);
}

ScopedHostResolver::ScopedHostResolver(Resolver resolver)
{
    std::lock_guard lock(resolverMutex);
    previous_ = std::exchange(resolverOverride, std::move(resolver));
}

ScopedHostResolver::~ScopedHostResolver()
{
    std::lock_guard lock(resolverMutex);
    resolverOverride = std::move(previous_);
}
