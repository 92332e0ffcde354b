#pragma once
// A switch that abandons name lookups from any thread. Once pulled it stays
// pulled: the lookups that watch it end at once, now and later.

#include <atomic>
#include <mutex>

class LookupStop {
public:
    LookupStop() = default;
    ~LookupStop();
    LookupStop(const LookupStop&) = delete;
    LookupStop& operator=(const LookupStop&) = delete;

    // Any thread, any number of times.
    void Pull();
    bool Pulled() const { return pulled_.load(std::memory_order_acquire); }
    // Becomes readable once pulled, for a lookup waiting in poll; -1 when the
    // system gave no descriptor (the waiter then looks at Pulled() between short
    // waits). Made on first use only: rows that never look a name up hold none.
    int WakeDescriptor() const;

private:
    std::atomic<bool> pulled_{false};
    mutable std::mutex mutex_;
    mutable int wakeFd_ = -1;
    mutable bool wakeFdTried_ = false;
};
