#pragma once

// Raw ICMP sockets need CAP_NET_RAW. The program may be given it as a file
// capability in its permitted set only; while an object of this class lives,
// the calling thread has it in its effective set as well (when permitted), so
// that only the opening of echo sockets runs with the privilege.
class ScopedRawNetCapability {
public:
    ScopedRawNetCapability();
    ~ScopedRawNetCapability();
    ScopedRawNetCapability(const ScopedRawNetCapability&) = delete;
    ScopedRawNetCapability& operator=(const ScopedRawNetCapability&) = delete;

private:
    bool raised_ = false;
};

// Whether CAP_NET_RAW is in the calling thread's permitted set.
bool RawNetCapabilityPermitted();
