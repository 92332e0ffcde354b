#include "platform/tcpclient.h"

#include "platform/addresslookup.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <arpa/inet.h>
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

// Milliseconds left until deadline for poll(), -1 for no deadline.
int PollTimeout(bool hasDeadline, Clock::time_point deadline)
{
    if (!hasDeadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 24LL * 3600 * 1000));
}

enum class PollOutcome { Ready, TimedOut, Cancelled };

// Waits for events on fd, or for the cancel signal (cancelFd, -1 for none).
// EINTR restarts the wait with the time that is left.
PollOutcome PollFor(int fd, short events, TcpClient::Duration timeout, int cancelFd)
{
    const bool hasDeadline = timeout.count() > 0;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        pollfd entries[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
        const int ready = ::poll(entries, cancelFd >= 0 ? 2 : 1, PollTimeout(hasDeadline, deadline));
        if (ready > 0)
            return entries[1].revents != 0 ? PollOutcome::Cancelled : PollOutcome::Ready;
        if (ready == 0)
            return PollOutcome::TimedOut;
        if (errno != EINTR)
            throw TcpError("waiting on the connection failed: " + ErrnoText(errno));
    }
}

// Makes one non-blocking connection attempt; returns the socket, or -1 with
// error set.
int TryConnect(const sockaddr_in& address, TcpClient::Duration timeout, int cancelFd, int& error,
               PollOutcome& outcome)
{
    outcome = PollOutcome::Ready;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    int status;
    do {
        status = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (status != 0 && errno == EINTR);
    if (status == 0)
        return fd;
    if (errno != EINPROGRESS) {
        error = errno;
        ::close(fd);
        return -1;
    }
    outcome = PollFor(fd, POLLOUT, timeout, cancelFd);
    if (outcome != PollOutcome::Ready) {
        error = ETIMEDOUT;
        ::close(fd);
        return -1;
    }
    int soError = 0;
    socklen_t length = sizeof soError;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0)
        soError = errno;
    if (soError != 0) {
        error = soError;
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

TcpClient::~TcpClient()
{
    close();
}

TcpClient::TcpClient(TcpClient&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), timeout_(other.timeout_), deadline_(other.deadline_),
      cancel_(std::move(other.cancel_)), peer_(std::move(other.peer_))
{
}

TcpClient& TcpClient::operator=(TcpClient&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        timeout_ = other.timeout_;
        deadline_ = other.deadline_;
        cancel_ = std::move(other.cancel_);
        peer_ = std::move(other.peer_);
    }
    return *this;
}

void TcpClient::setInactivityTimeout(Duration timeout)
{
    timeout_ = std::max(timeout, Duration::zero());
}

void TcpClient::connect(const std::string& host, std::uint16_t port)
{
    close();
    peer_ = host + ":" + std::to_string(port);
    throwIfCancelled();
    // The lookup counts as a wait like any other: silent name servers must
    // not outlast the time-outs.
    const Duration lookupWait = nextWait("looking up");
    Ipv4Addresses addresses;
    try {
        addresses = LookUpIpv4Within(host, lookupWait, [this] { return cancel_ && cancel_->Raised(); });
    } catch (const TcpTimeoutError&) {
        failWithTimeout("looking up", lookupWait);
    }
    throwIfCancelled();

    // A name may stand for several addresses: the first that accepts wins.
    int lastError = 0;
    PollOutcome lastOutcome = PollOutcome::Ready;
    Duration lastWait{0};
    for (const std::uint32_t ip : addresses) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = ip;
        lastWait = nextWait("connecting to");
        const int fd = TryConnect(address, lastWait, cancel_ ? cancel_->PollFd() : -1, lastError, lastOutcome);
        if (fd >= 0) {
            fd_ = fd;
            return;
        }
        throwIfCancelled();
    }
    if (lastOutcome == PollOutcome::TimedOut)
        failWithTimeout("connecting to", lastWait);
    throw TcpConnectError("cannot connect to " + peer_ + ": " + ErrnoText(lastError), lastError);
}

void TcpClient::sendAll(std::string_view bytes)
{
    requireOpen();
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            waitFor(POLLOUT, "sending to");
        } else if (errno != EINTR) {
            failWithErrno("sending to", errno);
        }
    }
}

std::string TcpClient::readExactly(std::size_t count)
{
    requireOpen();
    std::string bytes(count, '\0');
    std::size_t have = 0;
    while (have < count) {
        const ssize_t got = ::recv(fd_, bytes.data() + have, count - have, 0);
        if (got > 0) {
            have += static_cast<std::size_t>(got);
        } else if (got == 0) {
            throw TcpClosedError(peer_ + " closed the connection after " + std::to_string(have)
                                 + " of " + std::to_string(count) + " bytes");
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            waitFor(POLLIN, "reading from");
        } else if (errno != EINTR) {
            failWithErrno("reading from", errno);
        }
    }
    return bytes;
}

std::string TcpClient::readUntilClose(std::size_t maxBytes)
{
    requireOpen();
    std::string bytes;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got > 0) {
            if (static_cast<std::size_t>(got) > maxBytes - bytes.size())
                throw TcpLimitError("the answer of " + peer_ + " is longer than "
                                    + std::to_string(maxBytes) + " bytes");
            bytes.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            return bytes;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            waitFor(POLLIN, "reading from");
        } else if (errno != EINTR) {
            failWithErrno("reading from", errno);
        }
    }
}

void TcpClient::close() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void TcpClient::waitFor(short events, const char* what)
{
    throwIfCancelled();
    const Duration wait = nextWait(what);
    const PollOutcome outcome = PollFor(fd_, events, wait, cancel_ ? cancel_->PollFd() : -1);
    if (outcome == PollOutcome::Cancelled)
        throwIfCancelled();
    if (outcome == PollOutcome::TimedOut)
        failWithTimeout(what, wait);
    // Errors and hang-ups are reported by the next receive or send.
}

void TcpClient::failWithTimeout(const char* what, Duration wait) const
{
    // A wait shorter than the inactivity time-out was cut short by the deadline.
    const bool deadlineReached = timeout_ == Duration::zero() || wait < timeout_;
    if (deadlineReached)
        throw TcpTimeoutError(std::string(what) + " " + peer_ + " took longer than allowed");
    throw TcpTimeoutError(std::string(what) + " " + peer_ + " timed out after "
                          + std::to_string(timeout_.count()) + " ms without progress");
}

TcpClient::Duration TcpClient::nextWait(const char* what) const
{
    if (!deadline_)
        return timeout_;
    const auto left = std::chrono::ceil<Duration>(*deadline_ - Clock::now());
    if (left <= Duration::zero())
        throw TcpTimeoutError(std::string(what) + " " + peer_ + " took longer than allowed");
    return timeout_ > Duration::zero() ? std::min(timeout_, left) : left;
}

void TcpClient::requireOpen() const
{
    if (fd_ < 0)
        throw TcpError("the connection is not open");
}

void TcpClient::throwIfCancelled() const
{
    if (cancel_ && cancel_->Raised())
        throw TcpCancelledError("the exchange with " + peer_ + " was abandoned");
}

void TcpClient::failWithErrno(const char* what, int error)
{
    if (error == ECONNRESET || error == EPIPE)
        throw TcpResetError(std::string(what) + " " + peer_ + " failed: " + ErrnoText(error));
    throw TcpError(std::string(what) + " " + peer_ + " failed: " + ErrnoText(error));
}
