#pragma once
// Kernel timestamps of echo packets: when a request left through the driver and
// when its answer arrived, so that time spent waiting for the CPU on either side
// is not counted as travel time.

#include <sys/socket.h>

#include <cstdint>
#include <optional>

// Nanoseconds on the system's real-time clock, the clock of kernel timestamps.
using KernelNanoseconds = std::int64_t;

KernelNanoseconds RealTimeNow();

// Asks the kernel to stamp received packets and to report when each sent one
// left; false when it will not (the caller then uses its own clock readings).
bool EnableKernelTimestamps(int socketDescriptor);

// The software timestamp carried by a received message, normal or from the error
// queue, if it has one.
std::optional<KernelNanoseconds> MessageTimestamp(const msghdr& message);

// Whole milliseconds from sent to received, truncated; 0 if the clock went back.
std::uint32_t WholeMilliseconds(KernelNanoseconds sent, KernelNanoseconds received);
