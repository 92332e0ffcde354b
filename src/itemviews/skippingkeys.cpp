#include "itemviews/skippingkeys.h"

#include <QApplication>

#include <algorithm>

namespace {

// How many rows a page key passes: as many as the view shows at once.
int RowsPerPage(const QAbstractItemView& view, const QModelIndex& row)
{
    const int rowHeight = view.visualRect(row).height();
    return rowHeight > 0 ? std::max(1, view.viewport()->height() / rowHeight) : 1;
}

std::optional<int> Position(const SkippingKeys::Rows& rows, const QModelIndex& index)
{
    if (!index.isValid() || rows.shown.isEmpty())
        return std::nullopt;
    const qsizetype at = rows.shown.indexOf(index.siblingAtColumn(rows.shown.first().column()));
    return at < 0 ? std::nullopt : std::optional<int>(static_cast<int>(at));
}

} // namespace

QModelIndex SkippingKeys::Move(const QAbstractItemView& view, RowStep step, const QModelIndex& from, const Rows& rows)
{
    if (rows.shown.isEmpty())
        return from;
    const std::optional<int> row =
        RowAfterStep(step, Position(rows, from), static_cast<int>(rows.shown.size()),
                     RowsPerPage(view, rows.shown.first()), [&rows](int r) { return rows.choosable(rows.shown[r]); });
    return row ? rows.shown[*row] : from;
}

QModelIndex SkippingKeys::Search(const QString& typed, const QModelIndex& from, const Rows& rows)
{
    // Letters typed in quick succession make one search, as in the view's own.
    const bool goesOn =
        !typed.isEmpty() && sinceTyped_.isValid() && sinceTyped_.elapsed() <= QApplication::keyboardInputInterval();
    sinceTyped_.start();
    typed_ = goesOn ? typed_ + typed : typed;
    if (typed_.isEmpty() || rows.shown.isEmpty())
        return {};
    // One letter typed again and again steps through the rows it begins;
    // a new search, too, looks past the row it starts from.
    const bool oneLetter = typed_.count(typed_.front()) == typed_.size();
    const QString prefix = oneLetter ? typed_.left(1) : typed_;
    const std::optional<int> at = Position(rows, from);
    const int start = !at ? 0 : goesOn && !oneLetter ? *at : *at + 1;
    const std::optional<int> row = FirstAcceptedRow(start, static_cast<int>(rows.shown.size()), [&](int r) {
        const QModelIndex& index = rows.shown[r];
        return index.data(Qt::DisplayRole).toString().startsWith(prefix, Qt::CaseInsensitive) && rows.choosable(index);
    });
    return row ? rows.shown[*row] : QModelIndex();
}
