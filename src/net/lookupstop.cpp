#include "net/lookupstop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

LookupStop::~LookupStop()
{
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

int LookupStop::WakeDescriptor() const
{
    std::lock_guard lock(mutex_);
    if (!wakeFdTried_) {
        wakeFdTried_ = true;
        // Pulled before it existed: it starts out readable.
        wakeFd_ = eventfd(Pulled() ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    return wakeFd_;
}

void LookupStop::Pull()
{
    if (pulled_.exchange(true, std::memory_order_acq_rel))
        return;
    std::lock_guard lock(mutex_);
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        // Fails only when the counter is full, and then it is readable anyway.
        [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
    }
}
