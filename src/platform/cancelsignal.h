#pragma once

#include <atomic>

// Ends a connection's waits from another thread: once raised, every wait that
// watches it ends at once. Raised for good; a new piece of work takes a new one.
class CancelSignal {
public:
    // Throws std::system_error when the system gives no more descriptors.
    CancelSignal();
    ~CancelSignal();
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;

    // Any thread.
    void Raise() noexcept;
    bool Raised() const noexcept { return raised_.load(); }
    // Becomes readable when raised, for waits that poll it with their socket.
    int PollFd() const noexcept { return fd_; }

private:
    int fd_;
    std::atomic<bool> raised_{false};
};
