#include "serverinfo/playersearch.h"

#include "platform/workerthread.h"

#include <algorithm>
#include <system_error>

// One of the search's threads. Host names may be looked up on it, which
// wants a roomier stack than an address does.
class PlayerSearchWorker final : public WorkerThread {
public:
    static constexpr std::size_t StackBytes = 512 * 1024;
    explicit PlayerSearchWorker(PlayerSearch& search) : WorkerThread(StackBytes), search_(search) {}

protected:
    void Execute() override
    {
        search_.AskUntilDone();
        search_.WorkerEnded();
    }
    void ExecuteFailed(std::exception_ptr) noexcept override { search_.WorkerEnded(); }

private:
    PlayerSearch& search_;
};

PlayerSearch::PlayerSearch(std::vector<SearchServer> servers, PlayerNameFilter filter, ServerInfoTimeouts timeouts,
                           Reports reports)
    : servers_(std::move(servers)), filter_(std::move(filter)), timeouts_(timeouts), reports_(std::move(reports))
{
}

PlayerSearch::~PlayerSearch()
{
    Cancel();
    Wait();
}

void PlayerSearch::Start()
{
    const std::size_t wanted = std::clamp<std::size_t>(servers_.size(), 1, MaxExchanges);
    // Counted before any starts, so that an early worker cannot see itself last.
    running_ = wanted;
    for (std::size_t i = 0; i < wanted; ++i) {
        auto worker = std::make_unique<PlayerSearchWorker>(*this);
        try {
            worker->Start();
        } catch (const std::system_error&) {
            const std::size_t started = workers_.size();
            if (started == 0) {
                running_ = 0;
                throw;
            }
            // Fewer workers do the same work, more slowly.
            if (running_.fetch_sub(wanted - started) == wanted - started && reports_.finished)
                reports_.finished();
            return;
        }
        workers_.push_back(std::move(worker));
    }
}

void PlayerSearch::Cancel()
{
    cancel_->Raise();
}

void PlayerSearch::Wait()
{
    for (const auto& worker : workers_)
        worker->Wait();
}

void PlayerSearch::AskUntilDone()
{
    while (!Cancelled()) {
        const std::size_t server = next_.fetch_add(1);
        if (server >= servers_.size())
            return;
        if (reports_.asked)
            reports_.asked(server);
        ServerSearchResult result = Ask(server);
        if (Cancelled())
            return;  // nobody waits for it any more
        if (reports_.answered)
            reports_.answered(std::move(result));
    }
}

ServerSearchResult PlayerSearch::Ask(std::size_t server) const
{
    const SearchServer& target = servers_[server];
    ServerSearchResult found;
    found.server = server;
    const std::optional<std::uint16_t> port = ParseGamePort(target.port);
    if (!port) {
        found.failed = true;
        return found;
    }
    // A connection of its own per exchange: its buffers go when it ends.
    ServerInfoClient client{TcpClient(), timeouts_};
    client.connection.setCancelSignal(cancel_);
    ServerInfoResult answer = QueryServerInfo(client, target.host, *port, target.version);
    found.levelName = std::move(answer.levelName);
    found.failed = answer.failed;
    found.networkError = answer.networkError;
    for (std::string& name : answer.playerNames)
        if (filter_.Matches(name))
            found.players.push_back(std::move(name));
    return found;
}

void PlayerSearch::WorkerEnded()
{
    if (running_.fetch_sub(1) == 1 && reports_.finished)
        reports_.finished();
}
