#include "browse/distancedelivery.h"

#include <algorithm>

void DistanceMailbox::Post(std::string text, const DistanceHistory& history)
{
    bool alreadyWaiting;
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        alreadyWaiting = pending_.has_value();
        pending_ = DistanceReading{std::move(text), history};
    }
    if (alreadyWaiting)
        return;
    try {
        delivery_.Waiting(shared_from_this());
    } catch (...) {
        // Not queued (out of memory): take the text back, so that the next post
        // queues the mailbox rather than leave it waiting unseen.
        std::lock_guard lock(mutex_);
        pending_.reset();
        throw;
    }
}

std::optional<DistanceReading> DistanceMailbox::Take()
{
    std::lock_guard lock(mutex_);
    if (closed_)
        return std::nullopt;
    return std::exchange(pending_, std::nullopt);
}

void DistanceMailbox::Close()
{
    std::optional<DistanceReading> last;
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        closed_ = true;
        last = std::exchange(pending_, std::nullopt);
    }
    if (last)
        delivery_.apply_({{row_, std::move(*last)}});
}

void DistanceMailbox::ReportFailure(std::string why)
{
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
    }
    std::lock_guard lock(delivery_.mutex_);
    if (!delivery_.failure_)
        delivery_.failure_ = std::move(why);
}

DistanceDelivery::DistanceDelivery(Apply apply, QObject* parent) : QObject(parent), apply_(std::move(apply))
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &DistanceDelivery::Deliver);
    sinceDelivery_.start();
}

std::shared_ptr<DistanceMailbox> DistanceDelivery::Open(int row)
{
    return std::shared_ptr<DistanceMailbox>(new DistanceMailbox(*this, row));
}

void DistanceDelivery::Waiting(std::shared_ptr<DistanceMailbox> mailbox)
{
    bool wake;
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(mailbox));
        wake = !std::exchange(armed_, true);
    }
    // Only a post while no delivery is due wakes the window thread; the others
    // are collected by the coming delivery.
    if (wake)
        QMetaObject::invokeMethod(this, &DistanceDelivery::Schedule, Qt::QueuedConnection);
}

void DistanceDelivery::Schedule()
{
    if (timer_.isActive())
        return;
    const auto since = std::chrono::milliseconds(sinceDelivery_.elapsed());
    timer_.start(std::max(std::chrono::milliseconds(0), Interval - since));
}

void DistanceDelivery::Deliver()
{
    std::vector<std::shared_ptr<DistanceMailbox>> waiting;
    std::optional<std::string> failure;
    {
        std::lock_guard lock(mutex_);
        waiting.swap(waiting_);
        failure = std::exchange(failure_, std::nullopt);
        if (waiting.empty())
            armed_ = false;  // quiet: the next post wakes us
    }
    if (failure) {
        // Queued: whoever tells the user may hold the window thread in a dialog.
        QMetaObject::invokeMethod(
            this, [this, why = QString::fromStdString(*failure)] { emit WorkerFailed(why); }, Qt::QueuedConnection);
    }
    if (waiting.empty())
        return;
    Readings readings;
    readings.reserve(waiting.size());
    for (const auto& mailbox : waiting) {
        if (std::optional<DistanceReading> reading = mailbox->Take())
            readings.emplace_back(mailbox->row_, std::move(*reading));
    }
    sinceDelivery_.restart();
    if (!readings.empty())
        apply_(readings);
    // More will come: look again in one Interval rather than be woken for each.
    timer_.start(Interval);
}
