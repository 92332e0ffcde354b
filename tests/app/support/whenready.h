#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QPaintEvent>
#include <QRegion>
#include <QTimer>

#include <functional>

// Runs a step on the window thread once a condition holds, from a timer that
// also fires while a command waits in an event loop of its own. Gives up
// after ten seconds, so that a failing test cannot hang.
class WhenReady {
public:
    WhenReady(std::function<bool()> ready, std::function<void()> step)
    {
        since_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this, ready = std::move(ready), step = std::move(step)] {
            ran_ = ready();
            if (ran_ || since_.elapsed() > 10000)
                timer_.stop();
            if (ran_)
                step();
        });
        timer_.start(5);
    }
    bool ran() const { return ran_; }

private:
    QTimer timer_;
    QElapsedTimer since_;
    bool ran_ = false;
};

// Counts the paint events an object receives and what they painted.
struct PaintCounter : QObject {
    explicit PaintCounter(QObject* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
    int paints = 0;
    QRegion region;
};
