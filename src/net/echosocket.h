#pragma once
// One ICMP echo socket and the exchange of one echo request with its answer.

#include "net/echoreply.h"
#include "net/echosocketkind.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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
    // Opens a socket of the given kind (Automatic: datagram, else raw). Gives nullptr
    // when no ICMP socket can be opened.
    static std::unique_ptr<EchoSocket> Open(EchoSocketKind kind);
    ~EchoSocket();
    EchoSocket(const EchoSocket&) = delete;
    EchoSocket& operator=(const EchoSocket&) = delete;

    EchoSocketKind Kind() const { return kind_; }
    int Descriptor() const { return fd_; }
    std::uint16_t Identifier() const { return identifier_; }

    // Sends one echo request and waits up to its time-out for the answer to it.
    // Replies from other hosts, answers to earlier requests and errors about other
    // packets are passed over.
    EchoOutcome Exchange(const EchoRequest& request);

private:
    EchoSocket(EchoSocketKind kind, int fd, std::uint16_t identifier, bool pooledIdentifier);
    static std::unique_ptr<EchoSocket> OpenDatagram();
    static std::unique_ptr<EchoSocket> OpenRaw();

    bool ApplyOptions(const EchoRequest& request, std::uint32_t& status);
    bool TakeQueuedError(const EchoRequest& request, EchoOutcome& outcome);

    EchoSocketKind kind_;
    int fd_;
    std::uint16_t identifier_;
    bool pooledIdentifier_;
    std::uint16_t sequence_ = 0;
    int appliedTtl_ = -1;
    int appliedDontFragment_ = -1;
    std::uint32_t connectedTo_ = 0;  // raw sockets: the destination connected to
};

// ICMP message type and code of an error, as an EchoStatus code.
std::uint32_t EchoStatusFromIcmpError(int type, int code);

// The internet checksum over a byte range.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length);
