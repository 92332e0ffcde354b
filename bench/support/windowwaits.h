#pragma once
// Waiting on the real main window in the distance benchmarks.

#include "browse/servertablemodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <unistd.h>

// Runs the event loop until done() holds or limitMs pass; gives the time taken,
// or -1 when it did not happen in time.
template <typename Done>
qint64 RunUntil(Done done, qint64 limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        usleep(1000);
    }
    return clock.elapsed();
}

// The table has exactly that many rows, each showing a distance in milliseconds.
inline bool AllMeasured(const ServerTableModel& table, int rows)
{
    static const QRegularExpression milliseconds(QStringLiteral("^\\d+ ms$"));
    if (table.rowCount() != rows)
        return false;
    for (int row = 0; row < rows; ++row)
        if (!milliseconds.match(table.Entry(row).distance.c_str()).hasMatch())
            return false;
    return true;
}
