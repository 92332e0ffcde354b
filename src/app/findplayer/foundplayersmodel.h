#pragma once

#include <QAbstractTableModel>

#include <string>
#include <vector>

class ServerTableModel;

// The players a search found, one row each: the player's name, the server's
// name, its level and its current distance. Server name and distance are
// read from the server table's row at every paint, so the distance stays
// live; the rows are emptied before that table is refilled.
class FoundPlayersModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColPlayer, ColServer, ColLevel, ColDistance, ColumnCount };

    explicit FoundPlayersModel(const ServerTableModel& servers, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Add(int serverRow, const std::string& levelName, const std::vector<std::string>& players);
    void Clear();
    // The server table's row of a found player.
    int ServerRow(int row) const { return found_.at(static_cast<std::size_t>(row)).serverRow; }

    static int ColumnWidth(int column);

private:
    struct Found {
        int serverRow;
        std::string player;
        std::string levelName;
    };
    const ServerTableModel& servers_;
    std::vector<Found> found_;
};
