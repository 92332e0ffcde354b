#pragma once

#include "platform/cancelsignal.h"
#include "serverinfo/playernamefilter.h"
#include "serverinfo/serverinfoquery.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class PlayerSearchWorker;

// A game server to be asked, as the list gives it.
struct SearchServer {
    std::string host;
    std::string port;     // decimal text; a server without a usable port fails at once
    std::string version;  // six characters, chooses the packet we present
};

// What one server told, with only the players that passed the filter.
struct ServerSearchResult {
    std::size_t server = 0;  // index into the searched servers
    std::string levelName;
    std::vector<std::string> players;  // in the server's order, without "|"
    bool failed = false;
    std::exception_ptr networkError;  // the TcpError that broke the exchange off, when one did
};

// Asks many game servers for their players at once, each with the exchange
// of the "Serverinfo" command, on worker threads of its own: at most
// MaxExchanges are open at a time, and a server that never answers costs its
// own time limits and holds up nobody else. Results are handed on as they
// come and kept nowhere. Cancel ends every wait at once, from any thread.
class PlayerSearch {
public:
    static constexpr std::size_t MaxExchanges = 32;

    // Called on the worker threads, never two at once for one server; they
    // must not block for long, since a report holds up that worker.
    struct Reports {
        std::function<void(std::size_t server)> asked;          // an exchange begins
        std::function<void(ServerSearchResult result)> answered; // it ended, answered or failed
        std::function<void()> finished;                          // once, after the last report
    };

    PlayerSearch(std::vector<SearchServer> servers, PlayerNameFilter filter, ServerInfoTimeouts timeouts,
                 Reports reports);
    // Cancels and waits for the workers.
    ~PlayerSearch();
    PlayerSearch(const PlayerSearch&) = delete;
    PlayerSearch& operator=(const PlayerSearch&) = delete;

    // Starts the workers. Raises std::system_error when the system gives no
    // thread at all; with fewer than asked for, the search runs on those.
    void Start();
    // Any thread: the exchanges under way end, no further one begins, and
    // finished still comes once the workers are gone.
    void Cancel();
    // Blocks until every worker has ended. Not from a report.
    void Wait();
    bool Cancelled() const { return cancel_->Raised(); }

private:
    friend class PlayerSearchWorker;
    // Asks servers one after another until none is left or the search is
    // cancelled; runs on each worker.
    void AskUntilDone();
    ServerSearchResult Ask(std::size_t server) const;
    void WorkerEnded();

    const std::vector<SearchServer> servers_;
    const PlayerNameFilter filter_;
    const ServerInfoTimeouts timeouts_;
    const Reports reports_;
    const std::shared_ptr<CancelSignal> cancel_ = std::make_shared<CancelSignal>();
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> running_{0};
    std::vector<std::unique_ptr<PlayerSearchWorker>> workers_;
};
