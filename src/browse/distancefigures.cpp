#include "browse/distancefigures.h"

#include <charconv>
#include <cmath>

namespace {

// At most one decimal, none when it would be 0: "47", "47.3".
std::string Decimal(double value)
{
    const double tenths = std::round(value * 10.0) / 10.0;
    char digits[32];
    const bool whole = tenths == std::floor(tenths);
    const auto end = std::to_chars(digits, digits + sizeof digits, tenths, std::chars_format::fixed, whole ? 0 : 1).ptr;
    return std::string(digits, end);
}

} // namespace

DistanceFigures FiguresOf(const DistanceHistory& history)
{
    DistanceFigures figures;
    figures.echoes = history.Size();
    std::uint64_t sum = 0;
    std::uint64_t differences = 0;
    int answered = 0;
    std::optional<std::uint32_t> previous;
    for (int i = 0; i < history.Size(); ++i) {
        const std::optional<std::uint32_t> roundTrip = history.At(i);
        if (!roundTrip) {
            ++figures.lost;
            continue;
        }
        ++answered;
        sum += *roundTrip;
        figures.minMs = figures.minMs ? std::min(*figures.minMs, *roundTrip) : *roundTrip;
        figures.maxMs = figures.maxMs ? std::max(*figures.maxMs, *roundTrip) : *roundTrip;
        if (previous)
            differences += *roundTrip > *previous ? *roundTrip - *previous : *previous - *roundTrip;
        previous = roundTrip;
    }
    if (answered > 0)
        figures.averageMs = static_cast<double>(sum) / answered;
    if (answered > 1)
        figures.jitterMs = static_cast<double>(differences) / (answered - 1);
    return figures;
}

std::string FiguresText(const DistanceFigures& figures)
{
    if (figures.echoes == 0)
        return "No echo measured yet";
    std::string text = "Last " + std::to_string(figures.echoes) + (figures.echoes == 1 ? " echo" : " echoes");
    if (figures.averageMs) {
        text += "\nmin " + std::to_string(*figures.minMs) + " ms, average " + Decimal(*figures.averageMs)
                + " ms, max " + std::to_string(*figures.maxMs) + " ms";
    } else {
        text += "\nno answer";
    }
    text += "\n";
    if (figures.jitterMs)
        text += "jitter " + Decimal(*figures.jitterMs) + " ms, ";
    text += "loss " + Decimal(figures.LossPercent()) + " %";
    return text;
}
