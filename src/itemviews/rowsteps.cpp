#include "itemviews/rowsteps.h"

#include <algorithm>

namespace {

// The first row from `row` to `end` (both included, either way round) that
// `choosable` takes.
std::optional<int> FirstOnTheWay(int row, int end, const RowFilter& choosable)
{
    const int direction = end >= row ? 1 : -1;
    for (; (end - row) * direction >= 0; row += direction) {
        if (choosable(row))
            return row;
    }
    return std::nullopt;
}

// A page away from `from` towards `end`, landing on a choosable row there or
// beyond, else on the farthest one short of it.
std::optional<int> PageTowards(int from, int end, int pageRows, const RowFilter& choosable)
{
    if (from == end)
        return std::nullopt;
    const int direction = end > from ? 1 : -1;
    const int page = std::max(pageRows, 1);
    const int landing = direction > 0 ? std::min(from + page, end) : std::max(from - page, end);
    if (const std::optional<int> row = FirstOnTheWay(landing, end, choosable))
        return row;
    if (landing - direction == from)
        return std::nullopt;
    return FirstOnTheWay(landing - direction, from + direction, choosable);
}

} // namespace

std::optional<int> RowAfterStep(RowStep step, std::optional<int> from, int count, int pageRows,
                                const RowFilter& choosable)
{
    if (count <= 0)
        return std::nullopt;
    const int last = count - 1;
    if (!from || *from < 0 || *from > last)
        step = step == RowStep::Last ? RowStep::Last : RowStep::First;
    switch (step) {
    case RowStep::First: return FirstOnTheWay(0, last, choosable);
    case RowStep::Last: return FirstOnTheWay(last, 0, choosable);
    case RowStep::Next: return *from < last ? FirstOnTheWay(*from + 1, last, choosable) : std::nullopt;
    case RowStep::Previous: return *from > 0 ? FirstOnTheWay(*from - 1, 0, choosable) : std::nullopt;
    case RowStep::PageDown: return PageTowards(*from, last, pageRows, choosable);
    case RowStep::PageUp: return PageTowards(*from, 0, pageRows, choosable);
    }
    return std::nullopt;
}

std::optional<int> FirstAcceptedRow(int start, int count, const RowFilter& accepted)
{
    for (int i = 0; i < count; ++i) {
        const int row = (std::max(start, 0) + i) % count;
        if (accepted(row))
            return row;
    }
    return std::nullopt;
}
