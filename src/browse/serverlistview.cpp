#include "browse/serverlistview.h"

#include "browse/distancetooltip.h"

#include <QAccessible>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPalette>
#include <QWindow>

#include <algorithm>

JoinableSelectionModel::JoinableSelectionModel(ServerTableModel* model, QObject* parent)
    : QItemSelectionModel(model, parent), table_(model)
{
}

bool JoinableSelectionModel::Allows(const QModelIndex& index) const
{
    // Clearing the selection or the focus is always allowed.
    return !index.isValid() || table_->IsRowJoinable(index.row());
}

void JoinableSelectionModel::setCurrentIndex(const QModelIndex& index, SelectionFlags command)
{
    if (Allows(index))
        QItemSelectionModel::setCurrentIndex(index, command);
}

void JoinableSelectionModel::select(const QModelIndex& index, SelectionFlags command)
{
    if (Allows(index))
        QItemSelectionModel::select(index, command);
}

void JoinableSelectionModel::select(const QItemSelection& selection, SelectionFlags command)
{
    for (const QModelIndex& index : selection.indexes()) {
        if (!Allows(index))
            return;
    }
    QItemSelectionModel::select(selection, command);
}

ServerListView::ServerListView(QWidget* parent)
    : RowSkippingView(parent), distanceTooltip_(new DistanceTooltip(this))
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);

    // Keep the selected row highlighted when the table loses the focus.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(palette);
}

void ServerListView::SetTable(ServerTableModel* model)
{
    table_ = model;
    setModel(model);
    // setModel made a plain selection model; ours replaces it.
    QItemSelectionModel* plain = selectionModel();
    setSelectionModel(new JoinableSelectionModel(model, this));
    delete plain;
    for (int column = 0; column < ServerColumnCount; ++column) {
        header()->resizeSection(column, ServerTableModel::ColumnWidth(column));
        header()->setSectionResizeMode(column, QHeaderView::Interactive);
    }
}

std::optional<int> ServerListView::SelectedRow() const
{
    if (!selectionModel())
        return std::nullopt;
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().row();
}

void ServerListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    const bool distancesOnly = topLeft.column() == ColDistance && bottomRight.column() == ColDistance
                               && roles == QList<int>{Qt::DisplayRole};
    if (!distancesOnly || QAccessible::isActive()) {
        RowSkippingView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    // A hidden table is painted whole when it is shown again.
    if (!isVisible())
        return;
    if (window()->isMinimized()) {
        RepaintWhenRestored();
        return;
    }
    RepaintDistances(topLeft.row(), bottomRight.row());
}

void ServerListView::RepaintDistances(int firstRow, int lastRow)
{
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (!top.isValid())
        return;
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    const int first = std::max(firstRow, top.row());
    const int last = std::min(lastRow, bottom.isValid() ? bottom.row() : model()->rowCount() - 1);
    if (first > last)
        return;
    const QRect firstCell = visualRect(model()->index(first, ColDistance));
    viewport()->update(firstCell.united(visualRect(model()->index(last, ColDistance))));
}

void ServerListView::RepaintWhenRestored()
{
    QWindow* shown = window()->windowHandle();
    if (restoring_ || !shown)
        return;
    restoring_ = connect(shown, &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
        if (state == Qt::WindowMinimized)
            return;
        disconnect(restoring_);
        restoring_ = {};
        viewport()->update();
    });
}

void ServerListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeView::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

bool ServerListView::viewportEvent(QEvent* event)
{
    // The "Distance" cells have a tooltip of their own: the row's last results.
    if (event->type() == QEvent::ToolTip && distanceTooltip_->ShowFor(*static_cast<QHelpEvent*>(event)))
        return true;
    return RowSkippingView::viewportEvent(event);
}

SkippingKeys::Rows ServerListView::RowsForKeys() const
{
    SkippingKeys::Rows rows;
    if (!table_)
        return rows;
    for (int row = 0; row < table_->rowCount(); ++row)
        rows.shown << table_->index(row, ColName);
    rows.choosable = [table = table_](const QModelIndex& index) { return table->IsRowJoinable(index.row()); };
    return rows;
}

QModelIndex ServerListView::KeysStartFrom() const
{
    const std::optional<int> row = SelectedRow();
    return row ? table_->index(*row, ColName) : QModelIndex();
}
