#include "net/threadmailbox.h"

#include <utility>

ThreadMailbox::ThreadMailbox(QObject* parent) : QObject(parent) {}

void ThreadMailbox::Post(std::function<void()> call)
{
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    // Invoked by name, so the queued event holds nothing built in our code.
    QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection);
}

void ThreadMailbox::RunPosted()
{
    // One event per call: take just the oldest, so calls posted while this one
    // runs keep their order behind it.
    std::function<void()> call;
    {
        std::lock_guard lock(mutex_);
        if (calls_.empty())
            return;
        call = std::move(calls_.front());
        calls_.pop_front();
    }
    call();
}
