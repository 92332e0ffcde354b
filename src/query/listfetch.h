#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "browse/serverentry.h"

// The list server's entries, or the exit status after the failure has been
// told on standard error ("Error connecting to listserver" and why).
std::variant<std::vector<ServerEntry>, int> FetchEntriesOrTell(const std::string& host, std::uint16_t port);
