#pragma once
// TICMP: one ICMP echo request ("ping") to one IPv4 host, blocking until the answer
// or the time-out.

#include "net/echoreply.h"
#include "net/echosocketkind.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class EchoSocket;
class CancelSignal;

// Raised only while a TICMP is being set up.
class TICMPException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The set-up failures and their messages. Only the echo socket can fail to open on
// this system; the other texts name set-up steps it does not have.
namespace IcmpSetupError {
inline constexpr char SocketLayer[] = "Error initialising Winsock";
inline constexpr char EchoLibrary[] = "Unable to register icmp.dll";
inline constexpr char EchoFunctions[] = "Error loading dll functions";
inline constexpr char EchoHandle[] = "Unable to get ping handle";
}  // namespace IcmpSetupError

// The fixed start of every request's data, padded with blanks to Size.
inline constexpr char EchoPayloadText[] = "Echo request sent by the game server browser.";

class TICMP {
public:
    using DisplayEvent = std::function<void(TICMP* Sender, const std::string& Msg)>;
    using RequestEvent = std::function<void(TICMP* Sender)>;
    using ReplyEvent = std::function<void(TICMP* Sender, int Error)>;

    // Joins the process's echo socket, opening it if this is the first TICMP of its
    // kind; raises TICMPException ("Unable to get ping handle") when none can be
    // opened. The socket kind is normally left to the system.
    explicit TICMP(EchoSocketKind socketKind = EchoSocketKind::Automatic);
    ~TICMP();
    TICMP(const TICMP&) = delete;
    TICMP& operator=(const TICMP&) = delete;

    // The host: dotted IPv4 text or a name. Setting a different text makes the next
    // Ping resolve it again; the same text keeps the earlier resolution.
    const std::string& Address() const { return address_; }
    void SetAddress(const std::string& address);

    std::int32_t Size() const { return size_; }         // bytes of request data, default 56
    void SetSize(std::int32_t size) { size_ = size; }
    std::int32_t Timeout() const { return timeout_; }   // milliseconds, default 4000
    void SetTimeout(std::int32_t timeout) { timeout_ = timeout; }
    std::int32_t TTL() const { return ttl_; }           // low byte is sent, default 64
    void SetTTL(std::int32_t ttl) { ttl_ = ttl; }
    std::int32_t Flags() const { return flags_; }       // low byte; 0x02 = don't fragment
    void SetFlags(std::int32_t flags) { flags_ = flags; }

    // Sends one echo request and waits for its answer. Gives the number of replies,
    // 0 when none came; LastError then says why.
    std::int32_t Ping();

    const TIcmpEchoReply& Reply() const { return reply_; }
    std::uint32_t LastError() const { return lastError_; }
    // The last Ping's request could not be sent for a reason that may soon pass
    // (a firewall rule, the network down); LastError keeps its usual code.
    bool LastFailureMayPass() const { return lastFailureMayPass_; }
    // Resolved address in network byte order; 0xFFFFFFFF when there is none.
    std::uint32_t IPAddress() const { return ipAddress_; }
    EchoSocketKind SocketKind() const;

    // The signal that abandons this object's name lookups, the one under way and
    // every later one (each then fails as unresolvable). Any thread may raise it,
    // and hold it longer than the object lives.
    std::shared_ptr<CancelSignal> LookupCancelSignal() const { return lookupCancel_; }

    DisplayEvent OnDisplay;
    RequestEvent OnEchoRequest;
    ReplyEvent OnEchoReply;

private:
    void ResolveAddress();
    void Display(const std::string& text);

    std::shared_ptr<EchoSocket> socket_;  // shared with every other TICMP of this kind
    std::shared_ptr<CancelSignal> lookupCancel_;
    TIcmpEchoReply reply_{};
    std::string address_;
    std::uint32_t ipAddress_ = 0;
    std::int32_t size_ = 56;
    std::int32_t timeout_ = 4000;
    std::int32_t ttl_ = 64;
    std::int32_t flags_ = 0;
    std::uint32_t lastError_ = 0;
    bool addressResolved_ = false;
    bool lastFailureMayPass_ = false;
};
