#pragma once
// Hands calls from any thread to the thread a mailbox belongs to, where they run
// from that thread's event loop, in the order they were posted.
//
// Qt's event queue would carry a call as well, but it synchronises inside Qt's
// own libraries, where thread checkers cannot see; a call handed over that way
// looks to them like a race. Here the call and everything it carries pass
// through our own lock, and the queued event itself carries nothing.

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class ThreadMailbox : public QObject {
    Q_OBJECT

public:
    // The mailbox belongs to the thread that creates it.
    explicit ThreadMailbox(QObject* parent = nullptr);

    // Any thread. The caller must keep the mailbox alive while posting; calls
    // still waiting when it is destroyed are dropped without running.
    void Post(std::function<void()> call);

private:
    Q_INVOKABLE void RunPosted();

    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
};
