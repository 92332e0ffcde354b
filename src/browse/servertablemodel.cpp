#include "browse/servertablemodel.h"

#include "platform/codepage/codepagetext.h"
#include "platform/controlsymbols.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace {

struct ColumnLayout {
    const char* caption;
    int width;
    Qt::Alignment alignment;
};

constexpr ColumnLayout kColumns[ServerColumnCount] = {
    {"Name", 147, Qt::AlignLeft},    {"Typ", 56, Qt::AlignLeft},
    {"Version", 47, Qt::AlignLeft},  {"Mode", 44, Qt::AlignLeft},
    {"Players", 46, Qt::AlignLeft},  {"Distance", 55, Qt::AlignRight},
    {"Uptime", 54, Qt::AlignRight},  {"IP", 0, Qt::AlignLeft},
    {"Port", 0, Qt::AlignLeft},      {"", 0, Qt::AlignLeft},
};

} // namespace

QString ServerText(const std::string& text)
{
    return QString::fromStdU16String(OnOneLine(AnsiToUtf16(text)));
}

ServerTableModel::ServerTableModel(QObject* parent)
    : QAbstractTableModel(parent),
      distanceDelivery_([this](const DistanceDelivery::Readings& readings) { ApplyDistances(readings); })
{
    connect(&distanceDelivery_, &DistanceDelivery::WorkerFailed, this, &ServerTableModel::DistanceWorkerFailed);
}

ServerTableModel::~ServerTableModel()
{
    StopDistanceMeters();
}

void ServerTableModel::SetJoinablePredicate(JoinablePredicate predicate)
{
    joinable_ = std::move(predicate);
}

bool ServerTableModel::IsRowJoinable(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    return !joinable_ || joinable_(rows_[static_cast<size_t>(row)].entry);
}

int ServerTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shownRows_;
}

int ServerTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ServerColumnCount;
}

QVariant ServerTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ServerColumnCount)
        return {};
    const ServerEntry& entry = rows_[static_cast<size_t>(index.row())].entry;
    switch (role) {
    case Qt::DisplayRole:
        return ServerText(ServerField(entry, index.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ColumnAlignment(index.column()) | Qt::AlignVCenter);
    case Qt::ForegroundRole: {
        // Worked out at every paint so that a path entered on the "Config"
        // page shows at the next repaint.
        const QPalette palette = QGuiApplication::palette();
        return IsRowJoinable(index.row())
                   ? palette.color(QPalette::Active, QPalette::ButtonText)
                   : palette.color(QPalette::Disabled, QPalette::ButtonText);
    }
    default:
        return {};
    }
}

QVariant ServerTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ServerColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return ColumnCaption(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(section) | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags ServerTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Never editable in place; whether a row may be selected is decided by
    // the view's selection rule at the moment of the change.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ServerTableModel::AppendRow(const ServerEntry& entry)
{
    const int row = StageRow(entry);
    ShowStagedRows();
    return row;
}

int ServerTableModel::StageRow(const ServerEntry& entry)
{
    rows_.push_back(Row{entry, nullptr, {}});
    return static_cast<int>(rows_.size()) - 1;
}

void ServerTableModel::ShowStagedRows()
{
    const int total = static_cast<int>(rows_.size());
    if (shownRows_ == total)
        return;
    beginInsertRows({}, shownRows_, total - 1);
    shownRows_ = total;
    endInsertRows();
}

const ServerEntry& ServerTableModel::Entry(int row) const
{
    return rows_.at(static_cast<size_t>(row)).entry;
}

void ServerTableModel::SetDistanceMeter(int row, std::unique_ptr<DistanceMeter> meter)
{
    rows_.at(static_cast<size_t>(row)).distanceThread = std::move(meter);
}

bool ServerTableModel::HasDistanceMeter(int row) const
{
    return rows_.at(static_cast<size_t>(row)).distanceThread != nullptr;
}

void ServerTableModel::SetDistance(int row, const std::string& text)
{
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return;
    ApplyDistances({{row, {text, History(row)}}});
}

const DistanceHistory& ServerTableModel::History(int row) const
{
    return rows_.at(static_cast<size_t>(row)).distanceHistory;
}

void ServerTableModel::ApplyDistances(const DistanceDelivery::Readings& readings)
{
    // Most readings repeat the row's text (a steady server, "too far" for a
    // silent one): they only replace the history and cost the view nothing.
    std::vector<int> changedRows;
    int firstHistory = shownRows_;
    int lastHistory = -1;
    for (const auto& [row, reading] : readings) {
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            continue;
        Row& target = rows_[static_cast<size_t>(row)];
        target.distanceHistory = reading.history;
        if (row < shownRows_) {
            firstHistory = std::min(firstHistory, row);
            lastHistory = std::max(lastHistory, row);
        }
        if (target.entry.distance == reading.text)
            continue;
        target.entry.distance = reading.text;
        if (row < shownRows_)
            changedRows.push_back(row);
    }
    if (lastHistory >= 0)
        emit DistanceHistoriesChanged(firstHistory, lastHistory);
    // One notice for each run of neighbouring changed rows, so that a view
    // repaints the changed cells and none between them.
    std::sort(changedRows.begin(), changedRows.end());
    for (size_t first = 0; first < changedRows.size();) {
        size_t last = first;
        while (last + 1 < changedRows.size() && changedRows[last + 1] <= changedRows[last] + 1)
            ++last;
        emit dataChanged(index(changedRows[first], ColDistance), index(changedRows[last], ColDistance),
                         {Qt::DisplayRole});
        first = last + 1;
    }
}

std::shared_ptr<DistanceMailbox> ServerTableModel::OpenDistanceMailbox(int row)
{
    return distanceDelivery_.Open(row);
}

void ServerTableModel::StopDistanceMeters()
{
    for (Row& row : rows_) {
        if (row.distanceThread)
            row.distanceThread->RequestStop();
    }
    for (Row& row : rows_) {
        if (row.distanceThread) {
            row.distanceThread->WaitUntilEnded();
            row.distanceThread.reset();
        }
    }
}

void ServerTableModel::Clear()
{
    StopDistanceMeters();
    beginResetModel();
    rows_.clear();
    shownRows_ = 0;
    endResetModel();
}

QString ServerTableModel::ColumnCaption(int column)
{
    return QString::fromLatin1(kColumns[column].caption);
}

int ServerTableModel::ColumnWidth(int column)
{
    return kColumns[column].width;
}

Qt::Alignment ServerTableModel::ColumnAlignment(int column)
{
    return kColumns[column].alignment;
}
