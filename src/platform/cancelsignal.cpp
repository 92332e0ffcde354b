#include "platform/cancelsignal.h"

#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

CancelSignal::~CancelSignal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int CancelSignal::PollFd() const
{
    std::lock_guard lock(mutex_);
    if (!fdTried_) {
        fdTried_ = true;
        // Raised before it existed: it starts out readable.
        fd_ = ::eventfd(Raised() ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    return fd_;
}

void CancelSignal::Raise() noexcept
{
    if (raised_.exchange(true, std::memory_order_acq_rel))
        return;
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) {
        // Never read: the counter stays above zero, so every later poll sees it too.
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
    }
}
