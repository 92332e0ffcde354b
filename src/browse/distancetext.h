#pragma once

#include <cstdint>
#include <string>

// The "Distance" text of one echo: its round-trip time in milliseconds
// ("47 ms"), "too far" when it timed out, and empty for any other failure.
std::string DistanceTextFor(std::int32_t replies, std::uint32_t roundTripMs, std::int32_t errorCode);
