#include "app/findplayer/playersearchsession.h"

#include "app/findplayer/foundplayersmodel.h"
#include "browse/servertablemodel.h"
#include "serverinfo/playersearch.h"

#include <QMetaObject>

PlayerSearchSession::PlayerSearchSession(ServerTableModel& servers, FoundPlayersModel& found, QObject* parent)
    : QObject(parent), servers_(servers), found_(found)
{
    // "Get List" is about to replace the rows the results point at.
    connect(&servers_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        End();
        found_.Clear();
    });
}

PlayerSearchSession::~PlayerSearchSession()
{
    // The workers post to this object: they end before it does.
    search_.reset();
}

void PlayerSearchSession::Start(const QString& name, const ServerInfoTimeouts& timeouts)
{
    End();
    found_.Clear();
    const std::uint64_t search = ++current_;

    rows_.clear();
    std::vector<SearchServer> servers;
    for (int row = 0; row < servers_.rowCount(); ++row) {
        if (!servers_.IsRowJoinable(row))
            continue;
        const ServerEntry& entry = servers_.Entry(row);
        servers.push_back({entry.ip, entry.port, entry.version});
        rows_.push_back(row);
    }
    progress_ = {static_cast<int>(servers.size()), 0, 0, 0, true};

    PlayerSearch::Reports reports;
    reports.asked = [this, search](std::size_t) { OnWindowThread(search, [this] { ++progress_.asked; }); };
    reports.answered = [this, search](ServerSearchResult result) {
        OnWindowThread(search, [this, result = std::move(result)] { Answered(result); });
    };
    reports.finished = [this, search] { OnWindowThread(search, [this] { Finished(); }); };
    search_ = std::make_unique<PlayerSearch>(std::move(servers), PlayerNameFilter(name), timeouts, reports);
    try {
        search_->Start();
    } catch (const std::exception&) {
        // No thread for the search: every server counts as failed.
        search_.reset();
        progress_.failed = progress_.servers;
        progress_.running = false;
    }
    emit ProgressChanged();
}

void PlayerSearchSession::End()
{
    ++current_;
    if (search_) {
        search_->Cancel();
        search_->Wait();
        search_.reset();
    }
    if (progress_.running) {
        progress_.running = false;
        emit ProgressChanged();
    }
}

void PlayerSearchSession::OnWindowThread(std::uint64_t search, std::function<void()> step)
{
    QMetaObject::invokeMethod(
        this,
        [this, search, step = std::move(step)] {
            if (search != current_)
                return;
            step();
            emit ProgressChanged();
        },
        Qt::QueuedConnection);
}

void PlayerSearchSession::Answered(const ServerSearchResult& result)
{
    ++(result.failed ? progress_.failed : progress_.answered);
    found_.Add(rows_.at(result.server), result.levelName, result.players);
}

void PlayerSearchSession::Finished()
{
    progress_.running = false;
    search_.reset();
}
