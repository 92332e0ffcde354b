#include "profiles/playertreeview.h"

#include <QMouseEvent>
#include <QPalette>

TPlayerTreeView::TPlayerTreeView(QWidget* parent) : RowSkippingView(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);

    // The chosen profile stays highlighted while another control has the focus.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(palette);

    // QTreeWidget's own current-item signal stays with the selection model
    // it made, so the tree reports changes of ours itself.
    QItemSelectionModel* plain = selectionModel();
    auto* vetoing = new TPlayerTreeSelectionModel(this, model());
    setSelectionModel(vetoing);
    delete plain;
    connect(vetoing, &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { emit CurrentNodeChanged(itemFromIndex(current)); });
}

void TPlayerTreeView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

SkippingKeys::Rows TPlayerTreeView::RowsForKeys() const
{
    SkippingKeys::Rows rows;
    for (QModelIndex node = model()->index(0, 0); node.isValid(); node = indexBelow(node))
        rows.shown << node;
    rows.choosable = [](const QModelIndex& node) { return node.parent().parent().isValid(); };
    return rows;
}

TPlayerTreeSelectionModel::TPlayerTreeSelectionModel(TPlayerTreeView* tree, QAbstractItemModel* model)
    : QItemSelectionModel(model, tree), tree_(tree)
{
}

bool TPlayerTreeSelectionModel::IsAccepted(const QModelIndex& index) const
{
    return !index.isValid() || index == currentIndex() || index == accepting_;
}

void TPlayerTreeSelectionModel::setCurrentIndex(const QModelIndex& index, SelectionFlags command)
{
    if (!IsAccepted(index) && !tree_->AllowsChangeTo(tree_->itemFromIndex(index)))
        return;
    accepting_ = index;
    QItemSelectionModel::setCurrentIndex(index, command);
    accepting_ = QPersistentModelIndex();
}

void TPlayerTreeSelectionModel::select(const QModelIndex& index, SelectionFlags command)
{
    if (IsAccepted(index))
        QItemSelectionModel::select(index, command);
}

void TPlayerTreeSelectionModel::select(const QItemSelection& selection, SelectionFlags command)
{
    for (const QModelIndex& index : selection.indexes()) {
        if (!IsAccepted(index))
            return;
    }
    QItemSelectionModel::select(selection, command);
}
