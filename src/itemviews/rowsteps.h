#pragma once
// Where a cursor key leads among rows shown one below the other, some of
// which cannot be chosen: the keys pass over those, so that every row that
// can be chosen is reached.

#include <functional>
#include <optional>

enum class RowStep { Previous, Next, PageUp, PageDown, First, Last };

using RowFilter = std::function<bool(int row)>;

// The row `step` leads to from row `from` among `count` rows, `choosable`
// deciding which may be landed on. Previous and Next take the nearest such
// row that way; a page key the first one at or past a page of `pageRows`,
// else the farthest one before it; First and Last the first and the last one.
// With no row to start from every key but Last leads to the first one.
// Nothing when no choosable row lies that way: the cursor stays.
std::optional<int> RowAfterStep(RowStep step, std::optional<int> from, int count, int pageRows,
                                const RowFilter& choosable);

// The first row that `accepted` takes, looking from `start` to the last row
// and then on from the first.
std::optional<int> FirstAcceptedRow(int start, int count, const RowFilter& accepted);
