#include "browse/distancetext.h"

#include "net/echoreply.h"

std::string DistanceTextFor(std::int32_t replies, std::uint32_t roundTripMs, std::int32_t errorCode)
{
    // The reply's own status is not looked at: an answered echo shows its time.
    if (replies != 0)
        return std::to_string(roundTripMs) + " ms";
    if (errorCode == static_cast<std::int32_t>(EchoStatus::TimedOut))
        return "too far";
    return {};
}
