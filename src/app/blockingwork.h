#pragma once
// Work that would block the window thread (a download, a server query) runs
// on a thread of its own while the window thread waits in an event loop: the
// windows keep painting and timers and posted updates (the distances) go on.
// Meanwhile input to the program's windows is dropped, so the command still
// blocks every other command; a modal box opened meanwhile gets its input,
// and a window's close still arrives, which may abandon the work.

#include "platform/cancelsignal.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QEventLoop;
struct BlockingWorkState;

class BlockingWork {
public:
    // What the work may use from its own thread. The work owns nothing of the
    // windows: anything for them goes through OnWindowThread.
    class Context {
    public:
        explicit Context(std::shared_ptr<BlockingWorkState> state) : state_(std::move(state)) {}
        // Raised when the work is abandoned; give it to the work's connections.
        std::shared_ptr<const CancelSignal> Cancel() const;
        // Runs step on the window thread, in order with the others, while the
        // window still waits for the work; dropped once it no longer does.
        void OnWindowThread(std::function<void()> step) const;

    private:
        std::shared_ptr<BlockingWorkState> state_;
    };

    BlockingWork() = default;
    ~BlockingWork();
    BlockingWork(const BlockingWork&) = delete;
    BlockingWork& operator=(const BlockingWork&) = delete;

    // Window thread. Runs work and waits for it: its result, or nothing when
    // Abandon was called meanwhile. An exception of the work is thrown here;
    // so is std::system_error when no thread can be started.
    template <typename Result>
    std::optional<Result> Run(std::function<Result(const Context&)> work)
    {
        auto result = std::make_shared<std::optional<Result>>();
        if (!RunOnOwnThread([work = std::move(work), result](const Context& context) {
                result->emplace(work(context));
            }))
            return std::nullopt;
        return std::move(*result);
    }

    // Window thread: ends the wait at once, raises the work's cancel signal and
    // drops whatever it still sends. Nothing happens when no work runs.
    void Abandon();
    bool Running() const { return loop_ != nullptr; }

private:
    // True when the work ended, false when it was abandoned.
    bool RunOnOwnThread(std::function<void(const Context&)> work);

    QEventLoop* loop_ = nullptr;
    std::shared_ptr<BlockingWorkState> state_;
};
