#pragma once

#include <atomic>
#include <mutex>

// Ends waits from another thread: once raised, every wait that watches it ends
// at once, now and later. Raised for good; a new piece of work takes a new one.
// Its descriptor is made on first use only, so that a thousand distance rows
// that never wait on one hold none.
class CancelSignal {
public:
    CancelSignal() = default;
    ~CancelSignal();
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;

    // Any thread, any number of times.
    void Raise() noexcept;
    bool Raised() const noexcept { return raised_.load(std::memory_order_acquire); }
    // Becomes readable once raised, for waits that poll it with their socket;
    // -1 when the system gave no descriptor (the waiter then looks at Raised()
    // between short waits).
    int PollFd() const;

private:
    std::atomic<bool> raised_{false};
    mutable std::mutex mutex_;
    mutable int fd_ = -1;
    mutable bool fdTried_ = false;
};
