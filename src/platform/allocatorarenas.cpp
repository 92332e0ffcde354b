#include "platform/allocatorarenas.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace {
// The workers allocate little, but ten thousand of them ending at once queue on
// the arenas' locks: four halve that wait against two (measured with the window
// benchmark), and reserve a quarter of a gigabyte, not one or two.
constexpr int kArenas = 4;
}  // namespace

void LimitAllocatorArenas()
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (std::getenv("MALLOC_ARENA_MAX") || (tunables && std::strstr(tunables, "arena_max")))
        return;
    mallopt(M_ARENA_MAX, kArenas);
}
