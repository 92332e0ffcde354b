#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The distance of one server from one or more echoes, as the server table
// shows it and with the figures a ping user expects.
struct Distance {
    std::string text;                          // "47 ms", "too far", or empty when no echo could be sent
    std::optional<std::uint32_t> roundTripMs;  // the answered echoes' average, rounded; none without an answer
    std::int32_t sent = 0;                     // echoes that went out (not to an unusable address)
    std::vector<std::uint32_t> roundTrips;     // the answered ones' times, in milliseconds
};

// How long each echo waits for its reply, as in the server table.
inline constexpr std::int32_t EchoTimeoutMs = 1000;
// The time from one echo to the next of the same server.
inline constexpr std::int32_t EchoSpacingMs = 1000;

// Sends echoCount echo requests to every address, a second apart; all
// addresses are measured at the same time, so that a whole list takes about
// echoCount seconds however long it is. Results are in the order of the
// addresses. Throws TICMPException, before anything is sent, when echo
// requests cannot be sent at all.
std::vector<Distance> MeasureDistances(const std::vector<std::string>& addresses, int echoCount = 1);

// The figures of the answered echoes; none when no echo was answered.
std::optional<std::uint32_t> FastestMs(const Distance& distance);
std::optional<double> AverageMs(const Distance& distance);
std::optional<std::uint32_t> SlowestMs(const Distance& distance);
// The share of sent echoes that went unanswered, in percent; none when none was sent.
std::optional<double> LossPercent(const Distance& distance);
