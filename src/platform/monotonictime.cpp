#include "platform/monotonictime.h"

ClockDeadline MonotonicDeadline(std::chrono::steady_clock::time_point at)
{
    const auto since = at.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    ClockDeadline result{};
    result.tv_sec = static_cast<time_t>(seconds.count());
    result.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
    return result;
}
