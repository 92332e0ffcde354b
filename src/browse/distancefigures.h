#pragma once

#include "browse/distancehistory.h"

#include <cstdint>
#include <optional>
#include <string>

// How steady a server has been over the results a row keeps.
struct DistanceFigures {
    int echoes = 0;  // answered and lost
    int lost = 0;
    // Over the answered echoes; empty when none was answered.
    std::optional<std::uint32_t> minMs;
    std::optional<std::uint32_t> maxMs;
    std::optional<double> averageMs;
    // The mean difference between one answered echo's round trip and the
    // next's, lost ones passed over; empty with fewer than two answers.
    std::optional<double> jitterMs;

    double LossPercent() const { return echoes == 0 ? 0.0 : 100.0 * lost / echoes; }
};

DistanceFigures FiguresOf(const DistanceHistory& history);

// The figures in words, one group a line, as the "Distance" tooltip shows them.
std::string FiguresText(const DistanceFigures& figures);
