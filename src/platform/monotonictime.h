#pragma once
// Deadlines for the C library's waits that take an absolute time on the
// monotonic clock (sem_clockwait and the like).

#include <sys/stat.h>

#include <chrono>

// The C library's record of seconds and nanoseconds that those waits take (the
// type of a file's times as well).
using ClockDeadline = decltype(stat::st_mtim);

// The steady clock's time point as such a record; the steady clock is the
// monotonic clock.
ClockDeadline MonotonicDeadline(std::chrono::steady_clock::time_point at);
