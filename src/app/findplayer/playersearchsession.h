#pragma once

#include "serverinfo/serverinfoquery.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class FoundPlayersModel;
class PlayerSearch;
class ServerTableModel;
struct ServerSearchResult;

// How far the search has come: servers to ask, exchanges begun, answered
// and failed.
struct SearchProgress {
    int servers = 0;
    int asked = 0;
    int answered = 0;
    int failed = 0;
    bool running = false;
};

// One search at a time over the joinable rows of the server table, its
// results brought to the window thread and added to the found players as
// they come. A new search, a refill of the server table and End() end the
// running one: its exchanges are cancelled, its workers waited for, and
// whatever it still had on its way is dropped, so no result ever names a
// row of an earlier table.
class PlayerSearchSession : public QObject {
    Q_OBJECT
public:
    PlayerSearchSession(ServerTableModel& servers, FoundPlayersModel& found, QObject* parent = nullptr);
    ~PlayerSearchSession() override;

    // Window thread. Empties the found players and asks every joinable row.
    void Start(const QString& name, const ServerInfoTimeouts& timeouts);
    void End();
    const SearchProgress& Progress() const { return progress_; }

signals:
    void ProgressChanged();

private:
    // From a worker: runs step on the window thread, unless the search it
    // belongs to has ended by then.
    void OnWindowThread(std::uint64_t search, std::function<void()> step);
    void Answered(const ServerSearchResult& result);
    void Finished();

    ServerTableModel& servers_;
    FoundPlayersModel& found_;
    std::unique_ptr<PlayerSearch> search_;
    std::vector<int> rows_;  // the table row of each searched server
    std::uint64_t current_ = 0;
    SearchProgress progress_;
};
