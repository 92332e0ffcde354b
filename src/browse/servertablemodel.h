#pragma once

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

    int AppendRow(const ServerEntry& entry);
    const ServerEntry& Entry(int row) const;
    void SetDistanceMeter(int row, std::unique_ptr<DistanceMeter> meter);
    bool HasDistanceMeter(int row) const;

    // The one change a distance worker makes to the table.
    void SetDistance(int row, const std::string& text);

    // Asks every row's worker to stop, then waits for and destroys each in
    // table order. Rows stay.
    void StopDistanceMeters();
    // Stops the workers as above, then removes every row.
    void Clear();

    // Caption, width and alignment of each column.
    static QString ColumnCaption(int column);
    static int ColumnWidth(int column);
    static Qt::Alignment ColumnAlignment(int column);

private:
    struct Row {
        ServerEntry entry;
        std::unique_ptr<DistanceMeter> distanceThread;
    };
    std::vector<Row> rows_;
    JoinablePredicate joinable_;
};

// Server texts are 8-bit text in the game's Windows code page; this is how they are shown.
QString ServerText(const std::string& text);
