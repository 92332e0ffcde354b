// The list server's answer: any bytes parse without fault into one entry per
// CR LF-terminated line.

#include "browse/listserver.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    const std::vector<ServerEntry> entries = ParseServerList(answer);

    std::size_t lines = 0;
    for (std::size_t at = answer.find("\r\n"); at != std::string_view::npos; at = answer.find("\r\n", at + 2))
        ++lines;
    if (entries.size() != lines)
        std::abort();
    for (const ServerEntry& entry : entries) {
        if (entry.distance != DistancePending || entry.name.find('|') != std::string::npos)
            std::abort();
    }
    return 0;
}
