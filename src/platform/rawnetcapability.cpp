#include "platform/rawnetcapability.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// The capability calls are made directly: they act on the calling thread only,
// which is what a short raise around one socket() call needs.
namespace {

struct ThreadCapabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

constexpr unsigned kWord = CAP_NET_RAW / 32;
constexpr unsigned kBit = 1u << (CAP_NET_RAW % 32);

bool Read(ThreadCapabilities& caps)
{
    return syscall(SYS_capget, &caps.header, caps.data) == 0;
}

bool Write(ThreadCapabilities& caps)
{
    return syscall(SYS_capset, &caps.header, caps.data) == 0;
}

}  // namespace

ScopedRawNetCapability::ScopedRawNetCapability()
{
    ThreadCapabilities caps;
    if (!Read(caps))
        return;
    auto& word = caps.data[kWord];
    if (!(word.permitted & kBit) || (word.effective & kBit))
        return;  // nothing to raise, or already effective (root)
    word.effective |= kBit;
    raised_ = Write(caps);
}

ScopedRawNetCapability::~ScopedRawNetCapability()
{
    if (!raised_)
        return;
    ThreadCapabilities caps;
    if (!Read(caps))
        return;
    caps.data[kWord].effective &= ~kBit;
    Write(caps);
}

bool RawNetCapabilityPermitted()
{
    ThreadCapabilities caps;
    return Read(caps) && (caps.data[kWord].permitted & kBit);
}
