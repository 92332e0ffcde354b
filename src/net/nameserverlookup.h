#pragma once
// Host-name lookups (IPv4) through the hosts file and the name servers, done
// on the calling thread but never longer than a limit, and abandoned at once
// when their stop is raised.

#include "net/hostlookup.h"

#include <chrono>
#include <string>

class CancelSignal;

// Looks name up. Gives LookupError::Interrupted once stop is raised (stop may
// be null) and TryAgain when the name servers have not answered within limit.
// nameServers, when not empty, replaces the system's ("127.0.0.1:5353,...").
HostLookupResult LookUpWithNameServers(const std::string& name, const CancelSignal* stop,
                                       std::chrono::milliseconds limit, const std::string& nameServers = {});
