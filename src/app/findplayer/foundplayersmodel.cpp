#include "app/findplayer/foundplayersmodel.h"

#include "browse/servertablemodel.h"

namespace {

struct ColumnLayout {
    const char* caption;
    int width;
    Qt::Alignment alignment;
};

constexpr ColumnLayout kColumns[FoundPlayersModel::ColumnCount] = {
    {"Player", 95, Qt::AlignLeft},
    {"Server", 110, Qt::AlignLeft},
    {"Level", 80, Qt::AlignLeft},
    {"Distance", 55, Qt::AlignRight},
};

} // namespace

FoundPlayersModel::FoundPlayersModel(const ServerTableModel& servers, QObject* parent)
    : QAbstractTableModel(parent), servers_(servers)
{
    // A new distance of any server repaints the distance column.
    connect(&servers, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (!found_.empty() && topLeft.column() <= ::ColDistance && bottomRight.column() >= ::ColDistance)
                    emit dataChanged(index(0, ColDistance), index(rowCount() - 1, ColDistance), {Qt::DisplayRole});
            });
}

int FoundPlayersModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(found_.size());
}

int FoundPlayersModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FoundPlayersModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[index.column()].alignment | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const Found& found = found_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case ColPlayer:
        return ServerText(found.player);
    case ColServer:
        return ServerText(servers_.Entry(found.serverRow).name);
    case ColLevel:
        return ServerText(found.levelName);
    default:
        return ServerText(servers_.Entry(found.serverRow).distance);
    }
}

QVariant FoundPlayersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumns[section].caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[section].alignment | Qt::AlignVCenter);
    return {};
}

void FoundPlayersModel::Add(int serverRow, const std::string& levelName, const std::vector<std::string>& players)
{
    if (players.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(players.size()) - 1);
    for (const std::string& player : players)
        found_.push_back({serverRow, player, levelName});
    endInsertRows();
}

void FoundPlayersModel::Clear()
{
    beginResetModel();
    found_.clear();
    endResetModel();
}

int FoundPlayersModel::ColumnWidth(int column)
{
    return kColumns[column].width;
}
