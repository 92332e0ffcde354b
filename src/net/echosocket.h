#pragma once
// The ICMP echo socket of the process, one per kind and network namespace, shared
// by every echo object there. Each exchange waits only for the answer to its own
// request: answers are handed over by (host, identifier, sequence).

#include "net/echoreply.h"
#include "net/echosocketkind.h"
#include "net/echotimestamps.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <unordered_map>
#include <vector>

struct EchoRequest {
    std::uint32_t destination = 0;  // network byte order
    std::vector<std::uint8_t> data;
    std::uint8_t ttl = 64;
    std::uint8_t flags = 0;  // DontFragment honoured
    int timeoutMs = 4000;
};

struct EchoOutcome {
    int replies = 0;                   // 1 when an echo reply came, else 0
    std::uint32_t status = EchoStatus::Success;
    TIcmpEchoReply reply;             // the answer, or the error that came instead
};

constexpr std::uint8_t DontFragment = 0x02;

class EchoSocket {
public:
    // The socket of the given kind (Automatic: datagram where allowed, else raw) for
    // the calling thread's network namespace, opened on first use and closed when the
    // last holder lets go. Gives nullptr when no ICMP socket can be opened.
    static std::shared_ptr<EchoSocket> Shared(EchoSocketKind kind);
    // Whether the socket of that kind is open for the calling thread's namespace.
    static bool IsOpen(EchoSocketKind kind);
    ~EchoSocket();
    EchoSocket(const EchoSocket&) = delete;
    EchoSocket& operator=(const EchoSocket&) = delete;

    EchoSocketKind Kind() const { return kind_; }
    int Descriptor() const { return fd_; }
    // The identifier of every request sent through this socket.
    std::uint16_t Identifier() const { return identifier_; }

    // Sends one echo request and waits up to its time-out for the answer to it: the
    // reply or an ICMP error about it. Any number of threads may exchange at once.
    EchoOutcome Exchange(const EchoRequest& request);

private:
    struct Waiter;
    EchoSocket(EchoSocketKind kind, int fd, std::uint16_t identifier, bool pooledIdentifier);
    static std::shared_ptr<EchoSocket> OpenDatagram();
    static std::shared_ptr<EchoSocket> OpenRaw();

    bool ApplyOptions(const EchoRequest& request, std::uint32_t& status);
    std::uint16_t NextSequenceFor(std::uint32_t destination);
    void Receive();
    void TakeReceived(std::span<std::uint8_t> buffer);
    void TakeErrorQueue();
    void HandOver(Waiter& waiter, std::optional<KernelNanoseconds> receivedAt, std::unique_lock<std::mutex>& lock);

    const EchoSocketKind kind_;
    const int fd_;
    const std::uint16_t identifier_;
    const bool pooledIdentifier_;
    int wakeFd_ = -1;
    bool kernelTimestamps_ = false;
    std::thread receiver_;

    // Guards all below, and sending: sends are one at a time, so each one's
    // transmit timestamp falls within its own send call.
    std::mutex mutex_;
    std::uint16_t sequence_ = 0;
    int appliedTtl_ = -1;
    int appliedDontFragment_ = -1;
    // Exchanges waiting for their answer, by (host, identifier, sequence) ...
    std::unordered_map<std::uint64_t, Waiter*> waiting_;
    // ... and by the time their send call started.
    std::map<KernelNanoseconds, Waiter*> bySendStart_;
    // A receive buffer kept for the next exchange that reads answers itself, so that
    // reading does not allocate and free 64 KiB each time.
    std::unique_ptr<std::uint8_t[]> buffer_;
};

// ICMP message type and code of an error, as an EchoStatus code.
std::uint32_t EchoStatusFromIcmpError(int type, int code);

// The internet checksum over a byte range.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length);
