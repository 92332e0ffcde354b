#pragma once

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

// How one row's distance worker hands its texts to the window thread. The
// worker posts without waiting for the window thread; the window thread applies
// the latest text at its next delivery. A text replaced before it was applied
// is never shown, so the row always ends up with the last text posted.
class DistanceMailbox : public std::enable_shared_from_this<DistanceMailbox> {
public:
    // Any thread. Nothing happens once the mailbox is closed.
    void Post(std::string text);
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
    std::optional<std::string> Take();

    DistanceDelivery& delivery_;
    const int row_;
    std::mutex mutex_;
    std::optional<std::string> pending_;
    bool closed_ = false;
};

// The window thread's side of every row's mailbox: collects the rows with new
// texts and applies them together, at most once per Interval, so that a
// thousand rows updating every second cost a few repaints rather than a
// thousand. While texts keep coming it looks once per Interval without being
// woken for them. Lives on the window thread and must outlive every worker that
// posts to one of its mailboxes.
class DistanceDelivery : public QObject {
    Q_OBJECT
public:
    using Texts = std::vector<std::pair<int, std::string>>;  // row, text
    using Apply = std::function<void(const Texts&)>;

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
