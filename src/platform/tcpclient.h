#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "platform/cancelsignal.h"

// Failures of a TCP connection. The window code treats them all alike; the
// subclasses let callers and tests tell the causes apart.
class TcpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The host name could not be resolved to an IPv4 address.
class TcpResolveError : public TcpError {
public:
    using TcpError::TcpError;
};

// No connection could be made (refused, unreachable, ...). The system's error
// number of the last attempt says which.
class TcpConnectError : public TcpError {
public:
    TcpConnectError(const std::string& what, int errorNumber) : TcpError(what), errorNumber_(errorNumber) {}
    int errorNumber() const noexcept { return errorNumber_; }

private:
    int errorNumber_;
};

// Nothing happened on the connection for the whole inactivity time-out.
class TcpTimeoutError : public TcpError {
public:
    using TcpError::TcpError;
};

// The peer closed the connection before the bytes asked for had arrived.
class TcpClosedError : public TcpError {
public:
    using TcpError::TcpError;
};

// The peer dropped the connection abruptly (a reset), which is no orderly end.
class TcpResetError : public TcpError {
public:
    using TcpError::TcpError;
};

// The waits were ended from outside: whoever raised the cancel signal no
// longer wants the answer.
class TcpCancelledError : public TcpError {
public:
    using TcpError::TcpError;
};

// A read until the peer closes brought more bytes than the caller allows.
class TcpLimitError : public TcpError {
public:
    using TcpError::TcpError;
};

// A blocking IPv4 TCP client. Bytes are 8-bit data: strings carry explicit
// lengths, so NUL bytes and bytes above 127 pass through untouched.
class TcpClient {
public:
    using Duration = std::chrono::milliseconds;

    TcpClient() = default;
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;
    TcpClient(TcpClient&& other) noexcept;
    TcpClient& operator=(TcpClient&& other) noexcept;

    // The longest wait for progress: for a connection to be made, for the next
    // byte to arrive, for room to send. Zero (the default) waits for ever.
    void setInactivityTimeout(Duration timeout);
    Duration inactivityTimeout() const { return timeout_; }

    // A moment by which every wait must be over, however steadily the peer
    // trickles: a wait that would pass it ends in a TcpTimeoutError. None by
    // default.
    using Deadline = std::chrono::steady_clock::time_point;
    void setDeadline(std::optional<Deadline> deadline) { deadline_ = deadline; }

    // Once this signal is raised (from any thread), connecting, a name lookup
    // and every wait end with a TcpCancelledError.
    void setCancelSignal(std::shared_ptr<const CancelSignal> signal) { cancel_ = std::move(signal); }

    // Connects to host (an IPv4 address or a name) at port, closing any
    // previous connection first. Looking the name up is one of the waits
    // bounded by the time-out and the deadline. Names under ".invalid" never
    // resolve.
    void connect(const std::string& host, std::uint16_t port);
    bool isOpen() const { return fd_ >= 0; }

    void sendAll(std::string_view bytes);

    // Waits until exactly count bytes have arrived.
    std::string readExactly(std::size_t count);

    // Reads until the peer closes its side. An orderly close is the normal end;
    // a reset is an error, and so is an answer longer than maxBytes.
    std::string readUntilClose(std::size_t maxBytes);

    void close() noexcept;

private:
    // Waits until the socket is ready for events; throws on time-out.
    void waitFor(short events, const char* what);
    // Throws the TcpTimeoutError for a wait of this length that ran out,
    // naming whichever limit ended it.
    [[noreturn]] void failWithTimeout(const char* what, Duration wait) const;
    // How long the next wait may last: the inactivity time-out, cut short by
    // the deadline (zero waits for ever). Throws once the deadline has passed.
    Duration nextWait(const char* what) const;
    void requireOpen() const;
    void throwIfCancelled() const;
    // Throws a TcpError for errno after a failed receive or send.
    [[noreturn]] void failWithErrno(const char* what, int error);

    int fd_ = -1;
    Duration timeout_{0};
    std::optional<Deadline> deadline_;
    std::shared_ptr<const CancelSignal> cancel_;
    std::string peer_;  // "host:port", for error messages
};
