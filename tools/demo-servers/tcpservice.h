#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

class ServiceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One accepted connection as a service handler sees it. Every wait also
// watches for the service being stopped, so a handler never outlives stop().
class ServiceConnection {
public:
    ServiceConnection(int fd, int stopFd);
    ~ServiceConnection();
    ServiceConnection(const ServiceConnection&) = delete;
    ServiceConnection& operator=(const ServiceConnection&) = delete;

    // Sends all bytes; false if the peer went away or the service is stopping.
    bool send(std::string_view bytes);

    // Reads exactly count bytes; false if the peer closed, the service is
    // stopping or nothing came within timeout.
    bool receive(std::size_t count, std::string& bytes, std::chrono::milliseconds timeout);

    // Keeps the connection open, discarding whatever arrives, until the peer
    // closes, the service stops or maxWait has passed.
    void holdOpen(std::chrono::milliseconds maxWait);

    // Tells the peer that nothing more will be sent, keeping the receiving side.
    void shutdownSending();

    // Ends the connection with a reset instead of an orderly close.
    void reset();

    bool stopping() const;

private:
    // Waits for events on the socket; false when stopping or on time-out.
    bool waitFor(short events, int timeoutMs);

    int fd_;
    int stopFd_;
};

// A TCP listener on a loopback address that hands every accepted connection
// to the handler on a thread of its own, until stopped. Port 0 picks a free
// port; port() tells which.
class TcpService {
public:
    using Handler = std::function<void(ServiceConnection&)>;

    TcpService(const std::string& bindAddress, std::uint16_t port, Handler handler);
    ~TcpService();
    TcpService(const TcpService&) = delete;
    TcpService& operator=(const TcpService&) = delete;

    const std::string& address() const { return address_; }
    std::uint16_t port() const { return port_; }
    std::size_t connectionsAccepted() const { return accepted_.load(); }

    // Stops accepting, wakes every handler and waits for them to end.
    void stop();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void acceptLoop();
    void joinFinishedWorkers();

    std::string address_;
    std::uint16_t port_ = 0;
    Handler handler_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};  // readable once stop() has been called
    std::atomic<std::size_t> accepted_{0};
    std::mutex stopMutex_;
    bool stopped_ = false;
    std::list<Worker> workers_;  // touched only by the accept thread until it ends
    std::thread acceptThread_;
};

// True for a dotted IPv4 address inside 127.0.0.0/8.
bool IsLoopbackAddress(const std::string& address);
