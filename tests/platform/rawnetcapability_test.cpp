#include "platform/rawnetcapability.h"

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace {

constexpr unsigned kBit = 1u << (CAP_NET_RAW % 32);

bool EffectiveNow()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    return syscall(SYS_capget, &header, data) == 0 && (data[CAP_NET_RAW / 32].effective & kBit);
}

// Leaves CAP_NET_RAW permitted but not effective on the calling thread, as a
// program with the file capability "cap_net_raw+p" starts.
bool OnlyPermitted()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[CAP_NET_RAW / 32].effective &= ~kBit;
    return syscall(SYS_capset, &header, data) == 0;
}

int OpenRawEchoSocket()
{
    return socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
}

}  // namespace

TEST(ScopedRawNetCapability, RaisesThePermittedCapabilityOnlyWhileItLives)
{
    if (!RawNetCapabilityPermitted())
        GTEST_SKIP() << "CAP_NET_RAW is not permitted to this process";
    // Capabilities belong to a thread: change those of a thread of the test's own.
    std::thread([] {
        ASSERT_TRUE(OnlyPermitted());
        const int refused = OpenRawEchoSocket();
        EXPECT_LT(refused, 0);
        EXPECT_EQ(errno, EPERM);
        if (refused >= 0)
            close(refused);
        {
            ScopedRawNetCapability privileged;
            EXPECT_TRUE(EffectiveNow());
            const int fd = OpenRawEchoSocket();
            EXPECT_GE(fd, 0);
            if (fd >= 0)
                close(fd);
        }
        EXPECT_FALSE(EffectiveNow());
        EXPECT_TRUE(RawNetCapabilityPermitted());
    }).join();
}
