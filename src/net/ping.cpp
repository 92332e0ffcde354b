#include "net/ping.h"

#include "net/hostlookup.h"
#include "platform/cancelsignal.h"
#include "net/threadmailbox.h"

#include <QCoreApplication>
#include <QThread>

#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

// Links background lookups to their component. A lookup outlives a component that
// drops it, so it reaches the component only through here, under the lock, and the
// component detaches itself before it goes away. Results are posted to `receiver`,
// a mailbox of the component's thread that is deleted there, never to the component
// itself: the component may be released on another thread while a stale result is
// being delivered, and the lock makes the release wait for that delivery.
struct TPing::LookupRelay {
    std::recursive_mutex mutex;  // a handler may release the component it was called for
    TPing* target = nullptr;
    ThreadMailbox* receiver = nullptr;  // made by the first lookup that needs it
    CancelSignal stop;  // raised when the component goes: its lookups need not finish
};

namespace {

std::string CannotStartLookup(const std::string& hostName, int error)
{
    return hostName + ": can't start DNS lookup, error #" + std::to_string(error);
}

}  // namespace

TPing::TPing(QObject* owner, EchoSocketKind socketKind)
    : QObject(owner), icmp_(std::make_unique<TICMP>(socketKind)),
      relay_(std::make_shared<LookupRelay>())
{
    relay_->target = this;
    icmp_->OnDisplay = [this](TICMP* icmp, const std::string& msg) {
        if (OnDisplay)
            OnDisplay(this, icmp, msg);
    };
    icmp_->OnEchoRequest = [this](TICMP* icmp) {
        if (OnEchoRequest)
            OnEchoRequest(this, icmp);
    };
    icmp_->OnEchoReply = [this](TICMP* icmp, int error) {
        if (OnEchoReply)
            OnEchoReply(this, icmp, error);
    };
}

TPing::~TPing()
{
    try {
        CancelDnsLookup();
    } catch (const std::exception&) {
        // Cancelling on a foreign thread is refused; the lookup is dropped below.
    }
    relay_->stop.Raise();
    std::lock_guard lock(relay_->mutex);
    relay_->target = nullptr;
    if (relay_->receiver)
        relay_->receiver->deleteLater();
}

std::string TPing::Address() const
{
    return icmp_ ? icmp_->Address() : std::string();
}

void TPing::SetAddress(const std::string& address)
{
    if (icmp_)
        icmp_->SetAddress(address);
}

std::int32_t TPing::Size() const
{
    return icmp_ ? icmp_->Size() : 0;
}

void TPing::SetSize(std::int32_t size)
{
    if (icmp_)
        icmp_->SetSize(size);
}

std::int32_t TPing::Timeout() const
{
    return icmp_ ? icmp_->Timeout() : 0;
}

void TPing::SetTimeout(std::int32_t timeout)
{
    if (icmp_)
        icmp_->SetTimeout(timeout);
}

std::int32_t TPing::TTL() const
{
    return icmp_ ? icmp_->TTL() : 0;
}

void TPing::SetTTL(std::int32_t ttl)
{
    if (icmp_)
        icmp_->SetTTL(ttl);
}

std::int32_t TPing::Flags() const
{
    return icmp_ ? icmp_->Flags() : 0;
}

void TPing::SetFlags(std::int32_t flags)
{
    if (icmp_)
        icmp_->SetFlags(flags);
}

std::int32_t TPing::Ping()
{
    return icmp_ ? icmp_->Ping() : 0;
}

std::shared_ptr<CancelSignal> TPing::LookupCancelSignal() const
{
    return icmp_ ? icmp_->LookupCancelSignal() : nullptr;
}

TIcmpEchoReply TPing::Reply() const
{
    return icmp_ ? icmp_->Reply() : TIcmpEchoReply{};
}

std::int32_t TPing::ErrorCode() const
{
    return icmp_ ? static_cast<std::int32_t>(icmp_->LastError()) : -1;
}

bool TPing::ErrorMayPass() const
{
    return icmp_ && icmp_->LastFailureMayPass();
}

void TPing::RaiseDnsLookupDone(std::uint16_t error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, error);
}

void TPing::DnsLookup(const std::string& HostName)
{
    // A lookup still running is dropped silently: its late result no longer matches.
    dnsLookupHandle_ = 0;
    dnsResult_.clear();

    if (const auto dotted = ParseDottedAddress(HostName)) {
        dnsResult_ = FormatDottedAddress(*dotted);
        RaiseDnsLookupDone(LookupError::Success);
        return;
    }

    // The result comes back through this thread's event loop; without an application
    // object there is none to deliver it.
    if (!QCoreApplication::instance())
        throw std::runtime_error(CannotStartLookup(HostName, LookupError::InvalidArgument));

    // Made only now: a component that never looks a name up in the background,
    // as a thousand measuring rows do not, spares its memory (near a kilobyte).
    {
        std::lock_guard lock(relay_->mutex);
        if (!relay_->receiver) {
            relay_->receiver = new ThreadMailbox;
            relay_->receiver->moveToThread(thread());  // lives on the component's thread
        }
    }
    const std::uint64_t handle = ++lastHandle_;
    try {
        std::thread([relay = relay_, handle, HostName] {
            const HostLookupResult found = ResolveHostName(HostName, &relay->stop);
            std::lock_guard lock(relay->mutex);
            if (relay->target) {
                relay->receiver->Post([relay, handle, found] {
                    std::lock_guard deliveryLock(relay->mutex);
                    if (TPing* target = relay->target)
                        target->LookupCompleted(handle, found.Error, found.Address);
                });
            }
        }).detach();
    } catch (const std::system_error&) {
        throw std::runtime_error(CannotStartLookup(HostName, LookupError::NoBufferSpace));
    }
    dnsLookupHandle_ = handle;
}

void TPing::LookupCompleted(std::uint64_t handle, std::uint16_t error, std::uint32_t address)
{
    if (handle != dnsLookupHandle_)
        return;  // a lookup that was replaced or cancelled
    dnsLookupHandle_ = 0;
    if (error == LookupError::Success)
        dnsResult_ = FormatDottedAddress(address);
    RaiseDnsLookupDone(error);
}

void TPing::CancelDnsLookup()
{
    if (dnsLookupHandle_ == 0)
        return;
    if (QThread::currentThread() != thread())
        throw std::runtime_error("WSACancelAsyncRequest failed, error #"
                                 + std::to_string(LookupError::InvalidArgument));
    dnsLookupHandle_ = 0;
    RaiseDnsLookupDone(LookupError::Interrupted);
}
