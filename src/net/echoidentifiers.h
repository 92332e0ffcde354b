#pragma once
// Echo identifiers for raw ICMP sockets. A raw socket sees every ICMP packet of the
// host, so each live echo socket of the process needs an identifier of its own to
// recognise its replies.

#include <bitset>
#include <cstdint>
#include <mutex>
#include <optional>

class EchoIdentifierPool {
public:
    explicit EchoIdentifierPool(std::uint16_t first);

    // The pool of the whole process, starting at a process-dependent value so that
    // two programs rarely use the same identifiers at the same time.
    static EchoIdentifierPool& Process();

    // A free identifier, or nothing when all 65536 are in use.
    std::optional<std::uint16_t> Acquire();
    void Release(std::uint16_t identifier);

private:
    std::mutex mutex_;
    std::bitset<65536> inUse_;
    std::uint16_t next_;
    std::uint32_t count_ = 0;
};
