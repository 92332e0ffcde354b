#include "app/blockingwork.h"

#include "net/threadmailbox.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>

#include <exception>
#include <mutex>
#include <thread>

// Shared by the window thread and the work's thread, so that either may go first.
struct BlockingWorkState {
    std::mutex mutex;
    // Takes the work's steps while the window waits; null once it no longer does.
    ThreadMailbox* receiver = nullptr;
    const std::shared_ptr<CancelSignal> cancel = std::make_shared<CancelSignal>();
    // Window thread only: set by the work's last step.
    bool finished = false;
    std::exception_ptr error;

    void Post(std::function<void()> step)
    {
        std::lock_guard lock(mutex);
        if (receiver)
            receiver->Post(std::move(step));
    }
};

namespace {

// Input that could start a command or change what a command works on.
bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Drops user input to every window of the program while it lives, except to
// a modal box, which must still be answerable. Qt's own way of holding input
// back (ExcludeUserInputEvents) would hold back a window's close as well.
class InputDropper : public QObject {
public:
    InputDropper() { qApp->installEventFilter(this); }
    ~InputDropper() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return IsUserInput(event->type()) && !QApplication::activeModalWidget();
    }
};

}  // namespace

std::shared_ptr<const CancelSignal> BlockingWork::Context::Cancel() const
{
    return state_->cancel;
}

void BlockingWork::Context::OnWindowThread(std::function<void()> step) const
{
    state_->Post(std::move(step));
}

BlockingWork::~BlockingWork()
{
    Abandon();
}

bool BlockingWork::RunOnOwnThread(std::function<void(const Context&)> work)
{
    QEventLoop loop;
    ThreadMailbox mailbox;
    auto state = std::make_shared<BlockingWorkState>();
    state->receiver = &mailbox;
    std::thread([state, work = std::move(work), loop = &loop] {
        std::exception_ptr error;
        try {
            work(Context(state));
        } catch (...) {
            error = std::current_exception();
        }
        // Runs after every step the work posted, and only while the window waits.
        state->Post([state, error, loop] {
            state->error = error;
            state->finished = true;
            loop->quit();
        });
    }).detach();

    loop_ = &loop;
    state_ = state;
    {
        const InputDropper dropper;
        // Returns early also when the application is told to quit: the work
        // is abandoned then as well.
        loop.exec();
    }
    {
        std::lock_guard lock(state->mutex);
        state->receiver = nullptr;
    }
    loop_ = nullptr;
    state_.reset();
    if (!state->finished) {
        state->cancel->Raise();
        return false;
    }
    if (state->error)
        std::rethrow_exception(state->error);
    return true;
}

void BlockingWork::Abandon()
{
    if (!loop_)
        return;
    state_->cancel->Raise();
    loop_->quit();
}
