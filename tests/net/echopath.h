#pragma once
// Where a test sends its echoes for each socket kind, and a look at what went out.

#include "netlab.h"

#include "net/echosocketkind.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Raw sockets are tried here; datagram sockets in a namespace of the test's own whose
// group range admits us, unless the system already admits us here.
class EchoPath {
public:
    static std::unique_ptr<EchoPath> Prepare(EchoSocketKind kind, std::string& whyNot);
    void Run(const std::function<void()>& fn) const;

private:
    std::unique_ptr<NetworkNamespace> namespace_;
};

bool CanOpenEchoSocket(EchoSocketKind kind);

// An echo request as it went out.
struct SeenRequest {
    int ttl = 0;
    int flags = 0;  // IP header flags, 0x4000 is don't fragment
    std::string data;
};

// Watches the echo requests of this namespace with a raw socket of its own.
class EchoRequestSniffer {
public:
    EchoRequestSniffer();
    ~EchoRequestSniffer();
    bool Ready() const { return fd_ >= 0; }
    // The next echo request to destination within timeoutMs.
    std::optional<SeenRequest> Next(std::uint32_t destination, int timeoutMs);

private:
    int fd_;
};

// A loopback address of its own for the calling test process and a tag.
std::string LoopbackAddress(int tag);

const char* KindName(EchoSocketKind kind);
