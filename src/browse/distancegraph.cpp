#include "browse/distancegraph.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cstdint>

namespace {

const QColor kAnswered(0x2f, 0x7e, 0xd8);
const QColor kLost(0xd0, 0x30, 0x30);

QColor Faint(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

// The top of the scale for the longest round trip: 1, 2 or 5 times a power of
// ten, at least 1 ms. Round trips are kept below 65535 ms.
std::uint32_t ScaleTopMs(std::uint32_t longestMs)
{
    for (std::uint32_t power = 1;; power *= 10) {
        for (const std::uint32_t step : {1u, 2u, 5u}) {
            if (step * power >= longestMs)
                return step * power;
        }
    }
}

} // namespace

void PaintDistanceGraph(QPainter& painter, const QRect& area, const DistanceHistory& history,
                        const QPalette& palette)
{
    std::uint32_t longest = 0;
    for (int i = 0; i < history.Size(); ++i)
        longest = std::max(longest, history.At(i).value_or(0));
    const std::uint32_t top = ScaleTopMs(longest);

    const QColor ink = palette.color(QPalette::ToolTipText);
    const QFontMetrics metrics(painter.font());
    const QString scale = QStringLiteral("%1 ms").arg(top);
    painter.setPen(ink);
    painter.drawText(area.topLeft() + QPoint(0, metrics.ascent()), scale);

    const QRectF plot(area.left(), area.top() + metrics.height() + 2, area.width(),
                      area.height() - metrics.height() - 2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Lines at the top of the scale and at its half, the base line darker.
    painter.setPen(QPen(Faint(ink, 60), 0));
    painter.drawLine(QPointF(plot.left(), plot.top()), QPointF(plot.right(), plot.top()));
    painter.drawLine(QPointF(plot.left(), plot.center().y()), QPointF(plot.right(), plot.center().y()));

    const double slot = plot.width() / DistanceHistory::Capacity;
    const double bar = std::max(1.0, slot * 0.7);
    const int firstSlot = DistanceHistory::Capacity - history.Size();
    for (int i = 0; i < history.Size(); ++i) {
        const double left = plot.left() + (firstSlot + i) * slot + (slot - bar) / 2;
        const std::optional<std::uint32_t> roundTrip = history.At(i);
        if (!roundTrip) {
            painter.fillRect(QRectF(left, plot.top(), bar, plot.height()), Faint(kLost, 170));
            continue;
        }
        // Even 0 ms shows, as a sliver on the base line.
        const double height = std::max(1.0, plot.height() * *roundTrip / top);
        painter.fillRect(QRectF(left, plot.bottom() - height, bar, height), kAnswered);
    }
    painter.setPen(QPen(Faint(ink, 160), 0));
    painter.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));
    painter.restore();
}
