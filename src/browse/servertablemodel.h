#pragma once

#include "browse/distancedelivery.h"
#include "browse/distancemeter.h"
#include "browse/serverentry.h"

#include <QAbstractTableModel>

#include <functional>
#include <memory>
#include <vector>

// The rows of the server table: one ServerEntry each, in the order the list
// server sent them, plus the distance worker the row owns. Lives on the
// window thread; workers reach it only through SetDistance, called there.
class ServerTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using JoinablePredicate = std::function<bool(const ServerEntry&)>;

    explicit ServerTableModel(QObject* parent = nullptr);
    ~ServerTableModel() override;

    // Decides which rows are drawn normally and may be selected. Asked at
    // every paint and every selection change, never cached.
    void SetJoinablePredicate(JoinablePredicate predicate);
    bool IsRowJoinable(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Adds a row and shows it at once.
    int AppendRow(const ServerEntry& entry);
    // Adds a row that views see only at the next ShowStagedRows, so that a
    // long list is shown in a few steps instead of one repaint per row. The
    // row's entry and distance may be used before.
    int StageRow(const ServerEntry& entry);
    void ShowStagedRows();
    const ServerEntry& Entry(int row) const;
    void SetDistanceMeter(int row, std::unique_ptr<DistanceMeter> meter);
    bool HasDistanceMeter(int row) const;

    // The one change a distance worker makes to the table, on the window thread.
    void SetDistance(int row, const std::string& text);
    // The row's last results, as its worker last handed them over with a text.
    const DistanceHistory& History(int row) const;
    // Where a row's worker posts its readings from its own thread; they are
    // applied here, a batch at a time, until the mailbox is closed.
    std::shared_ptr<DistanceMailbox> OpenDistanceMailbox(int row);

    // Asks every row's worker to stop, then waits for and destroys each in
    // table order. Rows stay.
    void StopDistanceMeters();
    // Stops the workers as above, then removes every row.
    void Clear();

signals:
    // A row's worker ended early for a reason the user should hear of once.
    void DistanceWorkerFailed(const QString& why);
    // Rows firstRow to lastRow may have new histories, their texts changed or
    // not: a changed text is told by dataChanged as well.
    void DistanceHistoriesChanged(int firstRow, int lastRow);

public:
    // Caption, width and alignment of each column.
    static QString ColumnCaption(int column);
    static int ColumnWidth(int column);
    static Qt::Alignment ColumnAlignment(int column);

private:
    struct Row {
        ServerEntry entry;
        std::unique_ptr<DistanceMeter> distanceThread;
        DistanceHistory distanceHistory;
    };
    void ApplyDistances(const DistanceDelivery::Readings& readings);

    std::vector<Row> rows_;
    int shownRows_ = 0;  // rows_ beyond this are staged
    JoinablePredicate joinable_;
    DistanceDelivery distanceDelivery_;
};

// Server texts are 8-bit text in the game's code page; this is how they are
// shown, in the table and the "Playerlist" window: each on one line, its
// control characters as visible symbols, so that a name cannot pass for
// several rows or several players.
QString ServerText(const std::string& text);
