// How much stack a distance thread really uses: the echo component pinging a
// dotted address and a name from the hosts file, on a thread whose stack was
// filled with a pattern beforehand; the untouched part is what was not needed.
// Prints the high-water mark against the stack size the rows' threads get.
//
//   bench_ping_thread_stack            (as root, or where datagram echoes are allowed)

#include "browse/distancetext.h"
#include "browse/tpingthread.h"
#include "net/ping.h"

#include <pthread.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kProbeStackBytes = 1 << 20;
constexpr unsigned char kPattern = 0xA5;

void* PingSome(void*)
{
    try {
        TPing ping(nullptr);
        ping.SetTimeout(1000);
        for (const char* address : {"127.0.0.1", "localhost", "127.0.0.1"}) {
            ping.SetAddress(address);
            const int replies = ping.Ping();
            std::printf("  %s: %d repl%s, %s\n", address, replies, replies == 1 ? "y" : "ies",
                        DistanceTextFor(replies, ping.Reply().RoundTripTime, ping.ErrorCode()).c_str());
        }
    } catch (const std::exception& error) {
        std::printf("  %s\n", error.what());
    }
    return nullptr;
}

}  // namespace

int main()
{
    void* stack = mmap(nullptr, kProbeStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED)
        return 1;
    std::memset(stack, kPattern, kProbeStackBytes);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstack(&attributes, stack, kProbeStackBytes);
    pthread_t thread;
    if (pthread_create(&thread, &attributes, &PingSome, nullptr) != 0)
        return 1;
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);

    // The stack grows down: count the untouched bytes from the low end. Thread-local
    // storage sits at the top of a stack given this way, and is counted as used.
    const auto* bytes = static_cast<const unsigned char*>(stack);
    std::size_t untouched = 0;
    while (untouched < kProbeStackBytes && bytes[untouched] == kPattern)
        ++untouched;
    const std::size_t used = kProbeStackBytes - untouched;
    std::printf("stack used: %zu bytes (%.1f KiB); the rows' threads get %zu KiB\n", used, used / 1024.0,
                TPingThread::StackBytes / 1024);
    return 0;
}
