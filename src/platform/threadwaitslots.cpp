#include "platform/threadwaitslots.h"

#include <sys/prctl.h>

// Older system headers lack the request; kernels that do not know it refuse it.
#ifndef PR_FUTEX_HASH
#define PR_FUTEX_HASH 78
#define PR_FUTEX_HASH_SET_SLOTS 1
#endif

namespace {
// A slot for about every thread of a ten-thousand-row list (half a megabyte of
// kernel memory): with fewer, a second list of ten thousand rows took a second
// to stop and refill; with this many, under half (measured with the window
// benchmark on two cores).
constexpr unsigned long kSlots = 8192;
}  // namespace

void MakeRoomForManyThreadWaits()
{
    // Best effort: without the larger table everything works, only slower.
    prctl(PR_FUTEX_HASH, PR_FUTEX_HASH_SET_SLOTS, kSlots, 0UL, 0UL);
}
