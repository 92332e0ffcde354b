#include "browse/distancetooltip.h"

#include "browse/distancefigures.h"
#include "browse/distancegraph.h"
#include "browse/servertablemodel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

// The graph part of the tooltip.
class DistanceGraphWidget : public QWidget {
public:
    using QWidget::QWidget;
    void SetHistory(const DistanceHistory& history)
    {
        history_ = history;
        update();
    }
    QSize sizeHint() const override
    {
        // Four units an echo; the height leaves room for the scale's text.
        return {DistanceHistory::Capacity * 4, 56 + fontMetrics().height()};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        PaintDistanceGraph(painter, rect(), history_, palette());
    }

private:
    DistanceHistory history_;
};

DistanceTooltip::DistanceTooltip(QAbstractItemView* view)
    : QWidget(view, Qt::ToolTip | Qt::BypassGraphicsProxyWidget), view_(view), figures_(new QLabel(this)),
      graph_(new DistanceGraphWidget(this))
{
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
    setAutoFillBackground(true);
    figures_->setForegroundRole(QPalette::ToolTipText);
    figures_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    const int margin = 1 + style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, this);
    layout->setContentsMargins(margin + 3, margin + 2, margin + 3, margin + 3);
    layout->setSpacing(4);
    layout->addWidget(figures_);
    layout->addWidget(graph_);
}

bool DistanceTooltip::ShowFor(const QHelpEvent& event)
{
    const QModelIndex index = view_->indexAt(event.pos());
    if (!index.isValid() || index.column() != ColDistance || !qobject_cast<ServerTableModel*>(view_->model())) {
        hide();
        return false;
    }
    cell_ = index;
    disconnect(following_);
    // Histories change every second with or without a new text.
    following_ = connect(static_cast<ServerTableModel*>(view_->model()), &ServerTableModel::DistanceHistoriesChanged,
                         this, [this](int first, int last) {
                             if (cell_.row() >= first && cell_.row() <= last)
                                 Refresh();
                         });
    Refresh();
    PlaceAt(event.globalPos());
    if (!isVisible()) {
        show();
        // As a text tooltip: any press, key or move away ends it.
        qApp->installEventFilter(this);
    }
    return true;
}

QString DistanceTooltip::FiguresText() const
{
    return figures_->text();
}

void DistanceTooltip::Refresh()
{
    const auto* table = qobject_cast<const ServerTableModel*>(view_->model());
    if (!cell_.isValid() || !table) {
        hide();
        return;
    }
    const DistanceHistory& history = table->History(cell_.row());
    figures_->setText(QString::fromStdString(::FiguresText(FiguresOf(history))));
    graph_->SetHistory(history);
    adjustSize();
}

void DistanceTooltip::PlaceAt(const QPoint& globalPos)
{
    adjustSize();
    QPoint at = globalPos + QPoint(2, 16);
    if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect room = screen->availableGeometry();
        // Above the cursor rather than off the bottom of the screen.
        if (at.y() + height() > room.bottom())
            at.setY(globalPos.y() - height() - 4);
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
    }
    move(at);
}

bool DistanceTooltip::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove: {
        const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        const QRect cell = view_->visualRect(cell_);
        if (!cell.contains(view_->viewport()->mapFromGlobal(global)))
            hide();
        break;
    }
    case QEvent::Leave:
        if (watched == view_->viewport())
            hide();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::WindowDeactivate:
        hide();
        break;
    default:
        break;
    }
    return false;
}

void DistanceTooltip::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    disconnect(following_);
    cell_ = QPersistentModelIndex();
    QWidget::hideEvent(event);
}

void DistanceTooltip::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::ToolTipText), 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
