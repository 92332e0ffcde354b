#include "net/echotimestamps.h"

#include <linux/errqueue.h>
#include <linux/net_tstamp.h>

#include <cstring>
#include <ctime>

KernelNanoseconds RealTimeNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<KernelNanoseconds>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool EnableKernelTimestamps(int socketDescriptor)
{
    // Transmit reports carry a copy of the packet, which tells whose request it was,
    // so that requests can be sent side by side from many threads.
    const int flags = SOF_TIMESTAMPING_TX_SOFTWARE | SOF_TIMESTAMPING_RX_SOFTWARE | SOF_TIMESTAMPING_SOFTWARE;
    return setsockopt(socketDescriptor, SOL_SOCKET, SO_TIMESTAMPING, &flags, sizeof flags) == 0;
}

std::optional<KernelNanoseconds> MessageTimestamp(const msghdr& message)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(const_cast<msghdr*>(&message), c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPING)
            continue;
        scm_timestamping stamps{};
        std::memcpy(&stamps, CMSG_DATA(c), sizeof stamps);
        const timespec& software = stamps.ts[0];
        if (software.tv_sec == 0 && software.tv_nsec == 0)
            return std::nullopt;
        return static_cast<KernelNanoseconds>(software.tv_sec) * 1'000'000'000 + software.tv_nsec;
    }
    return std::nullopt;
}

std::uint32_t WholeMilliseconds(KernelNanoseconds sent, KernelNanoseconds received)
{
    if (received <= sent)
        return 0;
    return static_cast<std::uint32_t>((received - sent) / 1'000'000);
}
