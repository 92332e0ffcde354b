#include "net/hostlookup.h"

#include "net/nameserverlookup.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <mutex>
#include <utility>

namespace {

std::mutex resolverMutex;
ScopedHostResolver::Resolver resolverOverride;
std::string nameServersOverride;

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

HostLookupResult ResolveHostName(const std::string& name, const CancelSignal* stop, std::chrono::milliseconds limit)
{
    ScopedHostResolver::Resolver resolver;
    std::string nameServers;
    {
        std::lock_guard lock(resolverMutex);
        resolver = resolverOverride;
        nameServers = nameServersOverride;
    }
    return resolver ? resolver(name) : LookUpWithNameServers(name, stop, limit, nameServers);
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

ScopedNameServers::ScopedNameServers(std::string servers)
{
    std::lock_guard lock(resolverMutex);
    previous_ = std::exchange(nameServersOverride, std::move(servers));
}

ScopedNameServers::~ScopedNameServers()
{
    std::lock_guard lock(resolverMutex);
    nameServersOverride = std::move(previous_);
}
