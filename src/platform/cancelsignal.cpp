#include "platform/cancelsignal.h"

#include <cerrno>
#include <cstdint>
#include <system_error>

#include <sys/eventfd.h>
#include <unistd.h>

CancelSignal::CancelSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (fd_ < 0)
        throw std::system_error(errno, std::generic_category(), "cannot make a cancel signal");
}

CancelSignal::~CancelSignal()
{
    ::close(fd_);
}

void CancelSignal::Raise() noexcept
{
    if (raised_.exchange(true))
        return;
    // Never read: the counter stays above zero, so every later poll sees it too.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}
