#pragma once
// The ICMP echo socket of the process, one per kind and network namespace, shared
// by every echo object there. Each exchange waits only for the answer to its own
// request: answers are handed over by (host, identifier, sequence).

#include "net/echoreply.h"
#include "net/echosocketkind.h"
#include "net/echotimestamps.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
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
    // The request could not be sent for a reason that may soon pass (a firewall
    // rule, the network down, no buffer room): worth trying again later.
    bool passing = false;
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

    bool Send(const EchoRequest& request, std::span<const std::uint8_t> packet, std::uint32_t& status,
              bool& passing);
    bool OptionsAppliedFor(const EchoRequest& request) const;
    bool ApplyOptions(const EchoRequest& request, std::uint32_t& status);
    std::uint16_t NextSequenceFor(std::uint32_t destination);
    void Receive(std::vector<std::uint8_t> buffer);
    void WakeReceiver();
    // Under the lock: keeps a receive buffer for a later exchange, if there is room.
    void KeepBuffer(std::unique_ptr<std::uint8_t[]>& buffer);
    // Both read what is queued and hand it over; given a waiter, they stop once
    // they have read what that waiter needs.
    void TakeReceived(std::span<std::uint8_t> buffer, const Waiter* until = nullptr);
    void TakeErrorQueue(std::span<std::uint8_t> buffer, const Waiter* until = nullptr);
    void HandOver(Waiter& waiter, std::optional<KernelNanoseconds> receivedAt, std::unique_lock<std::mutex>& lock);

    const EchoSocketKind kind_;
    const int fd_;
    const std::uint16_t identifier_;
    const bool pooledIdentifier_;
    int wakeFd_ = -1;
    bool kernelTimestamps_ = false;
    std::thread receiver_;

    // Held shared by sends made with the socket options as they are, so that they
    // run side by side; held alone to change the options and send.
    std::shared_mutex optionsMutex_;
    int appliedTtl_ = -1;
    int appliedDontFragment_ = -1;

    // Guards all below.
    std::mutex mutex_;
    std::uint16_t sequence_ = 0;
    // Exchanges under way, from before their send until they end, by (host,
    // identifier, sequence).
    std::unordered_map<std::uint64_t, Waiter*> exchanges_;
    // How many of them wait for the receiving thread: those whose answer was not in
    // yet when they looked themselves. While there are none it leaves the socket
    // alone, and answers that come at once cost it no wake-up.
    int outstanding_ = 0;
    bool closing_ = false;
    // Receive buffers kept for the exchanges that read answers themselves, so that
    // reading does not allocate and free 64 KiB each time, also when rows wake
    // together. Room for them is reserved when the socket opens.
    std::vector<std::unique_ptr<std::uint8_t[]>> spareBuffers_;
};

// ICMP message type and code of an error, as an EchoStatus code.
std::uint32_t EchoStatusFromIcmpError(int type, int code);

// The internet checksum over a byte range.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length);
