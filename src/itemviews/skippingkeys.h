#pragma once
// Cursor keys and type-ahead for an item view some of whose rows cannot be
// chosen: the keys pass over those rows to the next one that can be, where
// the view's own handling would stop in front of them.

#include "itemviews/rowsteps.h"

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QModelIndex>
#include <QString>

#include <functional>
#include <optional>

class SkippingKeys {
public:
    // The rows as the user sees them, top to bottom, one index each, and
    // which of them may be chosen.
    struct Rows {
        QModelIndexList shown;
        std::function<bool(const QModelIndex&)> choosable;
    };

    // The row `step` leads to from the row `from` (none when invalid), or
    // `from` itself when none lies that way.
    static QModelIndex Move(const QAbstractItemView& view, RowStep step, const QModelIndex& from, const Rows& rows);

    // The next choosable row whose text starts with the letters typed in
    // quick succession (case-insensitive), or an invalid index. Empty text
    // starts over.
    QModelIndex Search(const QString& typed, const QModelIndex& from, const Rows& rows);

private:
    QString typed_;
    QElapsedTimer sinceTyped_;
};

// An item view whose up, down, page, home and end keys and type-ahead go by
// SkippingKeys; the view says which rows there are and where the keys start.
template <typename View>
class RowSkippingView : public View {
public:
    using View::View;

    void keyboardSearch(const QString& search) override
    {
        const QModelIndex found = keys_.Search(search, KeysStartFrom(), RowsForKeys());
        if (found.isValid())
            this->setCurrentIndex(found);
    }

protected:
    virtual SkippingKeys::Rows RowsForKeys() const = 0;
    virtual QModelIndex KeysStartFrom() const { return this->currentIndex(); }

    QModelIndex moveCursor(typename View::CursorAction action, Qt::KeyboardModifiers modifiers) override
    {
        const std::optional<RowStep> step = StepOf(action);
        if (!step)
            return View::moveCursor(action, modifiers);
        const QModelIndex from = KeysStartFrom();
        const QModelIndex target = SkippingKeys::Move(*this, *step, from, RowsForKeys());
        // The view acts only on a row other than its current one: a current row
        // left unselected, so that the keys start from nowhere, is chosen here.
        if (!from.isValid() && target.isValid() && target == this->currentIndex().siblingAtColumn(target.column()))
            this->setCurrentIndex(target);
        return target;
    }

private:
    static std::optional<RowStep> StepOf(typename View::CursorAction action)
    {
        switch (action) {
        case View::MoveUp: return RowStep::Previous;
        case View::MoveDown: return RowStep::Next;
        case View::MovePageUp: return RowStep::PageUp;
        case View::MovePageDown: return RowStep::PageDown;
        case View::MoveHome: return RowStep::First;
        case View::MoveEnd: return RowStep::Last;
        default: return std::nullopt;
        }
    }

    SkippingKeys keys_;
};
