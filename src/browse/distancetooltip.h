#pragma once

#include <QPersistentModelIndex>
#include <QWidget>

class QAbstractItemView;
class QHelpEvent;
class QLabel;
class DistanceGraphWidget;

// The tooltip of the server table's "Distance" cells: a graph of the row's
// last results and its figures (min, average, max, jitter, loss). It follows
// the row's new results while it is shown, and goes as a text tooltip does:
// when the mouse leaves the cell, a key or button is pressed, or the window
// loses the focus.
class DistanceTooltip : public QWidget {
    Q_OBJECT
public:
    // view shows a ServerTableModel; the tooltip is its child.
    explicit DistanceTooltip(QAbstractItemView* view);

    // For a tooltip event on the view's viewport: shows the tooltip when the
    // event is over a "Distance" cell and tells whether it did; hides it when not.
    bool ShowFor(const QHelpEvent& event);
    // The figures as shown beside the graph.
    QString FiguresText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Refresh();
    void PlaceAt(const QPoint& globalPos);

    QAbstractItemView* view_;
    QPersistentModelIndex cell_;
    QLabel* figures_;
    DistanceGraphWidget* graph_;
    QMetaObject::Connection following_;
};
