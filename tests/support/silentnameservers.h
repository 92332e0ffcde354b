#pragma once
// Name servers that never answer, in place of the system's resolver: every
// lookup of a name blocks until the object goes away (at most 60 s), then fails.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

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
