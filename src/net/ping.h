#pragma once
// TPing: the echo component. Publishes the TICMP's settings and events with itself as
// sender, and adds a host-name lookup that runs in the background and reports on the
// thread that created the component.

#include "net/echoreply.h"
#include "net/echosocketkind.h"
#include "net/icmp.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TPing : public QObject {
    Q_OBJECT

public:
    using DnsLookupDoneEvent = std::function<void(TPing* Sender, std::uint16_t Error)>;
    using DisplayEvent = std::function<void(TPing* Sender, TICMP* Icmp, const std::string& Msg)>;
    using RequestEvent = std::function<void(TPing* Sender, TICMP* Icmp)>;
    using ReplyEvent = std::function<void(TPing* Sender, TICMP* Icmp, std::int32_t Error)>;

    // The owner, when given, deletes the component with itself. Raises TICMPException
    // when the echo socket cannot be opened.
    explicit TPing(QObject* owner = nullptr, EchoSocketKind socketKind = EchoSocketKind::Automatic);
    // Cancels a pending lookup (OnDnsLookupDone with 10004). Without a pending lookup the
    // component may be released on any thread.
    ~TPing() override;

    std::string Address() const;
    void SetAddress(const std::string& address);
    std::int32_t Size() const;
    void SetSize(std::int32_t size);
    std::int32_t Timeout() const;
    void SetTimeout(std::int32_t timeout);
    std::int32_t TTL() const;
    void SetTTL(std::int32_t ttl);
    std::int32_t Flags() const;
    void SetFlags(std::int32_t flags);

    // One synchronous echo; the number of replies, 0 for none.
    std::int32_t Ping();
    // Raised from any thread, abandons Ping's name lookups from then on.
    std::shared_ptr<CancelSignal> LookupCancelSignal() const;
    TIcmpEchoReply Reply() const;
    std::int32_t ErrorCode() const;
    // The last echo could not be sent for a reason that may soon pass.
    bool ErrorMayPass() const;

    // Starts looking HostName up. A dotted address is answered at once, before the call
    // returns; a name is looked up in the background and OnDnsLookupDone follows on this
    // component's thread, from its event loop. A lookup still pending is dropped
    // without an event. Raises std::runtime_error when the lookup cannot be started.
    virtual void DnsLookup(const std::string& HostName);
    // Cancels a pending lookup with OnDnsLookupDone(10004); nothing when none is
    // pending. Raises std::runtime_error when called off the component's thread while
    // a lookup is pending, since its event belongs to that thread.
    void CancelDnsLookup();
    // Dotted text of the last successful lookup; empty while one runs or after a failure.
    std::string DnsResult() const { return dnsResult_; }

    DisplayEvent OnDisplay;
    RequestEvent OnEchoRequest;
    ReplyEvent OnEchoReply;
    DnsLookupDoneEvent OnDnsLookupDone;

private:
    struct LookupRelay;

    void LookupCompleted(std::uint64_t handle, std::uint16_t error, std::uint32_t address);
    void RaiseDnsLookupDone(std::uint16_t error);

    std::unique_ptr<TICMP> icmp_;
    std::shared_ptr<LookupRelay> relay_;
    std::uint64_t dnsLookupHandle_ = 0;  // 0: no lookup pending
    std::uint64_t lastHandle_ = 0;
    std::string dnsResult_;
};
