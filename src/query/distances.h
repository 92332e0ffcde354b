#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The distance of one server, as the server table shows it.
struct Distance {
    std::string text;                         // "47 ms", "too far", or empty when no echo could be sent
    std::optional<std::uint32_t> roundTripMs;  // set when a reply came
};

// How long each echo waits for its reply, as in the server table.
inline constexpr std::int32_t EchoTimeoutMs = 1000;

// Sends one echo request to every address, all at the same time, so that a
// whole list takes about one time-out however long it is. Results are in
// the order of the addresses. Throws TICMPException, before anything is
// sent, when echo requests cannot be sent at all.
std::vector<Distance> MeasureDistances(const std::vector<std::string>& addresses);
