#include "demo-servers/tcpservice.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string ErrnoText(int error)
{
    return std::system_category().message(error);
}

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 24LL * 3600 * 1000));
}

}  // namespace

bool IsLoopbackAddress(const std::string& address)
{
    in_addr parsed{};
    return ::inet_pton(AF_INET, address.c_str(), &parsed) == 1 && (ntohl(parsed.s_addr) >> 24) == 127;
}

ServiceConnection::ServiceConnection(int fd, int stopFd) : fd_(fd), stopFd_(stopFd) {}

ServiceConnection::~ServiceConnection()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ServiceConnection::stopping() const
{
    pollfd entry{stopFd_, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

bool ServiceConnection::waitFor(short events, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd entries[2] = {{fd_, events, 0}, {stopFd_, POLLIN, 0}};
        const int ready = ::poll(entries, 2, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || entries[1].revents != 0)
            return false;
        return true;
    }
}

bool ServiceConnection::send(std::string_view bytes)
{
    // A peer that stops reading must not hold a handler for ever.
    constexpr int stallLimitMs = 60'000;
    while (!bytes.empty()) {
        if (!waitFor(POLLOUT, stallLimitMs))
            return false;
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0)
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
    }
    return true;
}

bool ServiceConnection::receive(std::size_t count, std::string& bytes, std::chrono::milliseconds timeout)
{
    bytes.assign(count, '\0');
    std::size_t have = 0;
    const auto deadline = Clock::now() + timeout;
    while (have < count) {
        if (!waitFor(POLLIN, MillisecondsLeft(deadline)))
            return false;
        const ssize_t got = ::recv(fd_, bytes.data() + have, count - have, MSG_DONTWAIT);
        if (got == 0)
            return false;
        if (got > 0)
            have += static_cast<std::size_t>(got);
        else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
    }
    return true;
}

void ServiceConnection::holdOpen(std::chrono::milliseconds maxWait)
{
    const auto deadline = Clock::now() + maxWait;
    char discard[4096];
    while (waitFor(POLLIN, MillisecondsLeft(deadline))) {
        const ssize_t got = ::recv(fd_, discard, sizeof discard, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return;
    }
}

void ServiceConnection::shutdownSending()
{
    ::shutdown(fd_, SHUT_WR);
}

void ServiceConnection::reset()
{
    // A zero linger time makes close() send a reset and drop unsent data.
    linger abortive{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(fd_);
    fd_ = -1;
}

TcpService::TcpService(const std::string& bindAddress, std::uint16_t port, Handler handler)
    : address_(bindAddress), handler_(std::move(handler))
{
    // Our demo servers are for this machine only.
    if (!IsLoopbackAddress(bindAddress))
        throw ServiceError("refusing to listen on \"" + bindAddress + "\": only 127.x.x.x addresses are allowed");

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, bindAddress.c_str(), &address.sin_addr);

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0)
        throw ServiceError("cannot create a socket: " + ErrnoText(errno));
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listenFd_, 64) != 0) {
        const int error = errno;
        ::close(listenFd_);
        throw ServiceError("cannot listen on " + bindAddress + ":" + std::to_string(port) + ": " + ErrnoText(error));
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);

    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(listenFd_);
        throw ServiceError("cannot create a pipe: " + ErrnoText(error));
    }
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

TcpService::~TcpService()
{
    stop();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

void TcpService::stop()
{
    std::lock_guard lock(stopMutex_);
    if (stopped_)
        return;
    stopped_ = true;
    // The byte is never read, so the pipe stays readable and wakes every wait.
    const char wake = 1;
    while (::write(stopPipe_[1], &wake, 1) < 0 && errno == EINTR) {
    }
    acceptThread_.join();
    ::close(listenFd_);
    listenFd_ = -1;
    for (Worker& worker : workers_)
        worker.thread.join();
    workers_.clear();
}

void TcpService::acceptLoop()
{
    for (;;) {
        pollfd entries[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || entries[1].revents != 0)
            return;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;  // the client gave up before we took it, or a passing shortage
        ++accepted_;
        joinFinishedWorkers();
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, fd, done] {
            try {
                ServiceConnection connection(fd, stopPipe_[0]);
                handler_(connection);
            } catch (...) {
                // One failed connection must not end the service.
            }
            done->store(true);
        });
        workers_.push_back(Worker{std::move(thread), std::move(done)});
    }
}

void TcpService::joinFinishedWorkers()
{
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}
