#pragma once
// Kernel timestamps of echo packets: when a request left through the driver and
// when its answer arrived, so that time spent waiting for the CPU on either side
// is not counted as travel time.

#include <sys/socket.h>

#include <cstdint>
#include <optional>

// Nanoseconds on the system's real-time clock, the clock of kernel timestamps.
using KernelNanoseconds = std::int64_t;

// The real-time clock and the monotonic clock, read one right after the other.
// The real-time clock may be stepped (a time server, a user setting the time);
// the monotonic one never is.
struct ClockReadings {
    KernelNanoseconds real = 0;
    std::int64_t monotonic = 0;
};
ClockReadings ReadClocks();

// What an exchange knows of when its echo went and came.
struct EchoTimes {
    ClockReadings sent;        // just before the send call
    ClockReadings handedOver;  // when the answer was handed to the waiting exchange
    std::optional<KernelNanoseconds> leftAt;     // the kernel's transmit stamp
    std::optional<KernelNanoseconds> arrivedAt;  // the kernel's receive stamp
};

// Nanoseconds from send to answer. The kernel's stamps leave out the time spent
// waiting for the CPU, but they are real-time readings: they count only when the
// real-time clock kept pace with the monotonic one from send to handover and the
// stamps lie in between. Otherwise the clock was stepped meanwhile, and the
// monotonic readings tell.
std::int64_t RoundTripNanoseconds(const EchoTimes& times);

// Asks the kernel to stamp received packets and to report when each sent one
// left; false when it will not (the caller then uses its own clock readings).
bool EnableKernelTimestamps(int socketDescriptor);

// The software timestamp carried by a received message, normal or from the error
// queue, if it has one.
std::optional<KernelNanoseconds> MessageTimestamp(const msghdr& message);

// Whole milliseconds, truncated; 0 for a negative time.
std::uint32_t WholeMilliseconds(std::int64_t nanoseconds);
