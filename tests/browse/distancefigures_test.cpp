// The figures behind a row's distance: what the last results say about how
// steady a server is, and how the tooltip words them.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "browse/distancefigures.h"

namespace {

constexpr int kLost = -1;

struct FiguresCase {
    const char* name;
    std::vector<int> results;  // oldest first; kLost for an unanswered echo
    DistanceFigures expected;
    const char* text;
};

DistanceHistory HistoryOf(const std::vector<int>& results)
{
    DistanceHistory history;
    for (const int result : results) {
        if (result == kLost)
            history.AddLost();
        else
            history.AddRoundTrip(static_cast<std::uint32_t>(result));
    }
    return history;
}

std::vector<int> Counting(int from, int count)
{
    std::vector<int> results;
    for (int i = 0; i < count; ++i)
        results.push_back(from + i);
    return results;
}

}  // namespace

TEST(DistanceFigures, SayHowSteadyTheKeptResultsAre)
{
    const std::vector<FiguresCase> cases = {
        {"nothing measured", {}, {}, "No echo measured yet"},
        {"one answer, no jitter", {0}, {1, 0, 0, 0, 0.0, std::nullopt}, "Last 1 echo\nmin 0 ms, average 0 ms, max 0 ms\nloss 0 %"},
        {"steady", {47, 47, 47}, {3, 0, 47, 47, 47.0, 0.0},
         "Last 3 echoes\nmin 47 ms, average 47 ms, max 47 ms\njitter 0 ms, loss 0 %"},
        // Jitter steps over the lost echoes: 4, 4, 2, 2, 0, 0.
        {"three of ten lost", {40, kLost, kLost, kLost, 44, 40, 42, 40, 40, 40}, {10, 3, 40, 44, 286.0 / 7, 2.0},
         "Last 10 echoes\nmin 40 ms, average 40.9 ms, max 44 ms\njitter 2 ms, loss 30 %"},
        {"no answer at all", {kLost, kLost}, {2, 2, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
         "Last 2 echoes\nno answer\nloss 100 %"},
        {"jitter over unequal steps", {10, 13, 10, kLost, 20}, {5, 1, 10, 20, 13.25, 16 / 3.0},
         "Last 5 echoes\nmin 10 ms, average 13.3 ms, max 20 ms\njitter 5.3 ms, loss 20 %"},
        // Only the last minute is kept: 5 to 64, in order.
        {"older results dropped", Counting(0, 65), {60, 0, 5, 64, 34.5, 1.0},
         "Last 60 echoes\nmin 5 ms, average 34.5 ms, max 64 ms\njitter 1 ms, loss 0 %"},
        {"a lost echo leaving the minute", [] { auto r = Counting(1, 60); r.insert(r.begin(), kLost); return r; }(),
         {60, 0, 1, 60, 30.5, 1.0}, "Last 60 echoes\nmin 1 ms, average 30.5 ms, max 60 ms\njitter 1 ms, loss 0 %"},
    };
    for (const FiguresCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DistanceFigures figures = FiguresOf(HistoryOf(c.results));
        EXPECT_EQ(figures.echoes, c.expected.echoes);
        EXPECT_EQ(figures.lost, c.expected.lost);
        EXPECT_EQ(figures.minMs, c.expected.minMs);
        EXPECT_EQ(figures.maxMs, c.expected.maxMs);
        ASSERT_EQ(figures.averageMs.has_value(), c.expected.averageMs.has_value());
        if (figures.averageMs)
            EXPECT_NEAR(*figures.averageMs, *c.expected.averageMs, 1e-9);
        ASSERT_EQ(figures.jitterMs.has_value(), c.expected.jitterMs.has_value());
        if (figures.jitterMs)
            EXPECT_NEAR(*figures.jitterMs, *c.expected.jitterMs, 1e-9);
        EXPECT_EQ(FiguresText(figures), c.text);
    }
}
