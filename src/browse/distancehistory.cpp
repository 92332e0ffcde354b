#include "browse/distancehistory.h"

#include <algorithm>

void DistanceHistory::AddRoundTrip(std::uint32_t milliseconds)
{
    // Echoes time out after a second: the cap only keeps the lost marker free.
    Add(static_cast<std::uint16_t>(std::min<std::uint32_t>(milliseconds, kLost - 1)));
}

void DistanceHistory::AddLost()
{
    Add(kLost);
}

void DistanceHistory::Add(std::uint16_t result)
{
    results_[next_] = result;
    next_ = static_cast<std::uint8_t>((next_ + 1) % Capacity);
    size_ = static_cast<std::uint8_t>(std::min(size_ + 1, Capacity));
}

std::optional<std::uint32_t> DistanceHistory::At(int i) const
{
    const std::uint16_t result = results_[static_cast<std::size_t>((next_ + Capacity - size_ + i) % Capacity)];
    if (result == kLost)
        return std::nullopt;
    return result;
}
