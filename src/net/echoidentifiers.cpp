#include "net/echoidentifiers.h"

#include <unistd.h>

EchoIdentifierPool::EchoIdentifierPool(std::uint16_t first) : next_(first) {}

EchoIdentifierPool& EchoIdentifierPool::Process()
{
    static EchoIdentifierPool pool(static_cast<std::uint16_t>(getpid() * 7919u));
    return pool;
}

std::optional<std::uint16_t> EchoIdentifierPool::Acquire()
{
    std::lock_guard lock(mutex_);
    if (count_ == inUse_.size())
        return std::nullopt;
    // Hand identifiers out in turn rather than reusing the lowest free one, so that a
    // late reply to a closed socket is unlikely to reach its successor.
    while (inUse_.test(next_))
        ++next_;
    const std::uint16_t identifier = next_++;
    inUse_.set(identifier);
    ++count_;
    return identifier;
}

void EchoIdentifierPool::Release(std::uint16_t identifier)
{
    std::lock_guard lock(mutex_);
    if (inUse_.test(identifier)) {
        inUse_.reset(identifier);
        --count_;
    }
}
