#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The last results of one row's distance thread, oldest first: each a round
// trip in milliseconds or an echo left unanswered. Small and fixed in size, so
// that a copy can travel with every distance text.
class DistanceHistory {
public:
    static constexpr int Capacity = 60;  // a minute, at one echo a second

    void AddRoundTrip(std::uint32_t milliseconds);
    void AddLost();

    int Size() const { return size_; }
    // The i-th result kept, 0 the oldest: its round trip, or nothing when lost.
    std::optional<std::uint32_t> At(int i) const;

private:
    static constexpr std::uint16_t kLost = 0xffff;
    void Add(std::uint16_t result);

    std::array<std::uint16_t, Capacity> results_{};
    std::uint8_t next_ = 0;  // where the next result goes
    std::uint8_t size_ = 0;
};
