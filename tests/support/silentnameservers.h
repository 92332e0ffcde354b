#pragma once
// Name servers that never answer. SilentNameServers stands in for the TCP
// lookups' resolver: every lookup of a name blocks until the object goes away
// (at most 60 s), then fails. SilentNameServerSocket is a real one on loopback
// that the echo rows' lookups ask: it takes every query and answers none.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/hostlookup.h"
#include "platform/addresslookup.h"
#include "platform/tcpclient.h"

class SilentNameServers {
public:
    SilentNameServers()
        : gate_(std::make_shared<Gate>()),
          resolver_([gate = gate_](const std::string& host) -> Ipv4Addresses {
              std::unique_lock lock(gate->mutex);
              ++gate->lookups;
              gate->changed.wait_for(lock, std::chrono::seconds(60), [&] { return gate->released; });
              throw TcpResolveError("no name server answered for " + host);
          })
    {
    }

    ~SilentNameServers()
    {
        std::lock_guard lock(gate_->mutex);
        gate_->released = true;
        gate_->changed.notify_all();
    }

    int lookups() const
    {
        std::lock_guard lock(gate_->mutex);
        return gate_->lookups;
    }

private:
    // Shared with lookups that were abandoned and still wait here.
    struct Gate {
        mutable std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        int lookups = 0;
    };
    std::shared_ptr<Gate> gate_;
    ScopedIpv4Resolver resolver_;
};

class SilentNameServerSocket {
public:
    SilentNameServerSocket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
    {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            servers_ = std::make_unique<ScopedNameServers>("127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    }
    ~SilentNameServerSocket() { servers_.reset(), close(fd_); }
    bool Ready() const { return servers_ != nullptr; }

    // Whether a query came within the time (and takes it).
    bool QueryCameWithin(std::chrono::milliseconds wait)
    {
        pollfd readable{fd_, POLLIN, 0};
        char datagram[512];
        return poll(&readable, 1, static_cast<int>(wait.count())) == 1 && recv(fd_, datagram, sizeof datagram, 0) > 0;
    }

private:
    int fd_;
    std::unique_ptr<ScopedNameServers> servers_;
};
