#include "platform/allocatorarenas.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace {
// The workers allocate little, but ten thousand of them ending at once queue on
// the arenas' locks: four halve that wait against two (measured with the window
// benchmark), and reserve a quarter of a gigabyte, not one or two.
constexpr int kArenas = 4;
// The C library's initial threshold for blocks mapped on their own.
constexpr int kMappedBlockBytes = 128 * 1024;

bool SetByUser(const char* variable, const char* tunable)
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    return std::getenv(variable) || (tunables && std::strstr(tunables, tunable));
}
}  // namespace

void LimitAllocatorArenas()
{
    if (SetByUser("MALLOC_ARENA_MAX", "arena_max"))
        return;
    mallopt(M_ARENA_MAX, kArenas);
}

void MapLargeBlocksApart()
{
    if (SetByUser("MALLOC_MMAP_THRESHOLD_", "mmap_threshold"))
        return;
    // Setting it fixes it: the library no longer raises it once a mapped block is freed.
    mallopt(M_MMAP_THRESHOLD, kMappedBlockBytes);
}
