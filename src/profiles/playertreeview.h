#pragma once

#include "itemviews/skippingkeys.h"

#include <QItemSelectionModel>
#include <QTreeWidget>

#include <functional>

// The profile tree of the "Player edit" page. Before a node becomes the
// current, selected one (by mouse, keyboard or program) the tree asks its
// changing handler, which may refuse; the selection then stays where it was.
// The handler is asked once per change. The cursor keys and type-ahead go
// from profile to profile, passing over the game and version nodes.
class TPlayerTreeView : public RowSkippingView<QTreeWidget> {
    Q_OBJECT
public:
    using ChangingHandler = std::function<bool(QTreeWidgetItem* node)>;

    explicit TPlayerTreeView(QWidget* parent = nullptr);

    void SetChangingHandler(ChangingHandler handler) { changing_ = std::move(handler); }
    bool AllowsChangeTo(QTreeWidgetItem* node) const { return !changing_ || changing_(node); }

signals:
    // The tree's current node changed (after the handler accepted it).
    void CurrentNodeChanged(QTreeWidgetItem* node);

protected:
    // Dragging with a button held would select every node passed over; the
    // tree selects by click and keys only.
    void mouseMoveEvent(QMouseEvent* event) override;
    // The nodes not hidden in a collapsed parent, top to bottom; the
    // profiles, on the third level, may be chosen.
    SkippingKeys::Rows RowsForKeys() const override;

private:
    ChangingHandler changing_;
};

// Lets the selection move only to nodes the tree's changing handler accepts.
class TPlayerTreeSelectionModel : public QItemSelectionModel {
    Q_OBJECT
public:
    TPlayerTreeSelectionModel(TPlayerTreeView* tree, QAbstractItemModel* model);

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;

private:
    // The current node, or the one being made current, after the handler
    // accepted it.
    bool IsAccepted(const QModelIndex& index) const;

    TPlayerTreeView* tree_;
    QPersistentModelIndex accepting_;
};
