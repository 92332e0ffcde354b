#pragma once

#include "browse/distancehistory.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class DistanceDelivery;

// What a row's worker hands over after an echo: the row's new "Distance" text
// and the worker's results so far. The history travels whole, so a reading
// replaced before it was applied loses nothing of it.
struct DistanceReading {
    std::string text;
    DistanceHistory history;
};

// How one row's distance worker hands its readings to the window thread. The
// worker posts without waiting for the window thread; the window thread applies
// the latest reading at its next delivery. A reading replaced before it was
// applied is never shown, so the row always ends up with the last one posted.
class DistanceMailbox : public std::enable_shared_from_this<DistanceMailbox> {
public:
    // Any thread. Nothing happens once the mailbox is closed. history is the
    // worker's results so far: it replaces the row's, as text does.
    void Post(std::string text, const DistanceHistory& history = {});
    // Window thread: applies a text still waiting, then lets nothing through.
    // The row's owner calls it once the worker has ended, before the row may go.
    void Close();
    // Any thread: why the row's worker ended early (out of memory, say). The
    // delivery hands such a text on to the window thread.
    void ReportFailure(std::string why);

    int Row() const { return row_; }

private:
    friend class DistanceDelivery;
    DistanceMailbox(DistanceDelivery& delivery, int row) : delivery_(delivery), row_(row) {}
    std::optional<DistanceReading> Take();

    DistanceDelivery& delivery_;
    const int row_;
    std::mutex mutex_;
    std::optional<DistanceReading> pending_;
    bool closed_ = false;
};

// The window thread's side of every row's mailbox: collects the rows with new
// readings and applies them together, at most once per Interval, so that a
// thousand rows updating every second cost a few repaints rather than a
// thousand. While texts keep coming it looks once per Interval without being
// woken for them. Lives on the window thread and must outlive every worker that
// posts to one of its mailboxes.
class DistanceDelivery : public QObject {
    Q_OBJECT
public:
    using Readings = std::vector<std::pair<int, DistanceReading>>;  // row, reading
    using Apply = std::function<void(const Readings&)>;

    // Texts change once a second: a twentieth of that is still seen at once.
    static constexpr std::chrono::milliseconds Interval{50};

    explicit DistanceDelivery(Apply apply, QObject* parent = nullptr);

    std::shared_ptr<DistanceMailbox> Open(int row);

signals:
    // A row's worker ended early; why says why, in words for the user.
    void WorkerFailed(const QString& why);

private:
    friend class DistanceMailbox;
    void Waiting(std::shared_ptr<DistanceMailbox> mailbox);  // any thread
    void Schedule();
    void Deliver();

    Apply apply_;
    QTimer timer_;
    QElapsedTimer sinceDelivery_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<DistanceMailbox>> waiting_;
    std::optional<std::string> failure_;  // the first unreported failure
    // A delivery is due: the window thread will look, so posts need not wake it.
    bool armed_ = false;
};
