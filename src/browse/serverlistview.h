#pragma once

#include "browse/servertablemodel.h"
#include "itemviews/skippingkeys.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include <optional>

class DistanceTooltip;

// Selection model that refuses to select or focus a row the table's model
// does not call joinable, whether the change comes from mouse or keyboard.
class JoinableSelectionModel : public QItemSelectionModel {
    Q_OBJECT
public:
    explicit JoinableSelectionModel(ServerTableModel* model, QObject* parent = nullptr);

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;

private:
    bool Allows(const QModelIndex& index) const;
    ServerTableModel* table_;
};

// The server table: report style, whole rows, one row at most, never sorted,
// nothing editable, the selection kept visible without focus. The cursor
// keys and type-ahead (over the names) pass over rows that cannot be joined.
class ServerListView : public RowSkippingView<QTreeView> {
    Q_OBJECT
public:
    explicit ServerListView(QWidget* parent = nullptr);

    void SetTable(ServerTableModel* model);
    ServerTableModel* Table() const { return table_; }

    // The selected row, if any.
    std::optional<int> SelectedRow() const;

signals:
    // A double click anywhere in the table, on a row or not.
    void DoubleClicked();

protected:
    // Distance texts change every second on every row: only the changed cells
    // on screen are repainted, none while the table is hidden or minimised.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    SkippingKeys::Rows RowsForKeys() const override;
    // The selected row; with none selected, nowhere.
    QModelIndex KeysStartFrom() const override;

private:
    void RepaintDistances(int firstRow, int lastRow);
    void RepaintWhenRestored();

    ServerTableModel* table_ = nullptr;
    QMetaObject::Connection restoring_;  // while distances wait for the window's restoring
    DistanceTooltip* distanceTooltip_;
};
