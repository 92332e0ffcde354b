#include "platform/allocatorarenas.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace {
// The window thread's main arena and one for every other thread: the workers
// allocate little, and rarely at the same moment.
constexpr int kArenas = 2;
}  // namespace

void LimitAllocatorArenas()
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (std::getenv("MALLOC_ARENA_MAX") || (tunables && std::strstr(tunables, "arena_max")))
        return;
    mallopt(M_ARENA_MAX, kArenas);
}
