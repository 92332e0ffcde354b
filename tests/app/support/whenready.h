#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

// Runs a step on the window thread as soon as a condition holds, from a timer
// that also fires while a command waits in an event loop of its own. Gives up
// after a limit, so that a failing test cannot hang.
class WhenReady {
public:
    WhenReady(std::function<bool()> ready, std::function<void()> step,
              std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        since_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this, ready = std::move(ready), step = std::move(step), limit] {
            if (ready()) {
                timer_.stop();
                ran_ = true;
                step();
            } else if (since_.elapsed() > limit.count()) {
                timer_.stop();
            }
        });
        timer_.start(5);
    }
    bool ran() const { return ran_; }

private:
    QTimer timer_;
    QElapsedTimer since_;
    bool ran_ = false;
};

// Counts the paint events an object receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QObject* watched) { watched->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
