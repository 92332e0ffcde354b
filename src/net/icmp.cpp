#include "net/icmp.h"

#include "net/echosocket.h"
#include "net/hostlookup.h"
#include "platform/cancelsignal.h"

#include <algorithm>

namespace {
constexpr std::uint32_t kNoAddress = 0xFFFFFFFFu;
constexpr std::size_t kPayloadTextSize = sizeof EchoPayloadText - 1;
}  // namespace

TICMP::TICMP(EchoSocketKind socketKind)
    : socket_(EchoSocket::Shared(socketKind)), lookupCancel_(std::make_shared<CancelSignal>())
{
    if (!socket_)
        throw TICMPException(IcmpSetupError::EchoHandle);
}

TICMP::~TICMP() = default;

EchoSocketKind TICMP::SocketKind() const
{
    return socket_->Kind();
}

void TICMP::SetAddress(const std::string& address)
{
    if (address == address_)
        return;
    address_ = address;
    addressResolved_ = false;
}

void TICMP::Display(const std::string& text)
{
    if (OnDisplay)
        OnDisplay(this, text);
}

void TICMP::ResolveAddress()
{
    if (const auto dotted = ParseDottedAddress(address_)) {
        ipAddress_ = *dotted;
    } else {
        const HostLookupResult found = ResolveHostName(address_, lookupCancel_.get());
        if (found.Error != 0) {
            lastError_ = found.Error;
            ipAddress_ = kNoAddress;
            Display("Unable to resolve " + address_);
            return;
        }
        ipAddress_ = found.Address;
    }
    addressResolved_ = true;
}

std::int32_t TICMP::Ping()
{
    lastError_ = 0;
    lastFailureMayPass_ = false;
    if (!addressResolved_)
        ResolveAddress();
    if (ipAddress_ == kNoAddress) {
        lastError_ = EchoStatus::BadDestination;
        Display("Invalid host address");
        return 0;
    }

    // A negative size has no meaning: refuse it rather than send something else.
    if (size_ < 0) {
        lastError_ = EchoStatus::BadRequest;
        reply_ = TIcmpEchoReply{};
        reply_.Status = lastError_;
        return 0;
    }

    EchoRequest request;
    request.destination = ipAddress_;
    // The data count travels as 16 bits.
    const std::size_t size = static_cast<std::uint16_t>(size_);
    request.data.assign(size, ' ');
    // copy_n, not memcpy: the data of an empty request may be a null pointer.
    std::copy_n(EchoPayloadText, std::min(size, kPayloadTextSize), request.data.begin());
    request.ttl = static_cast<std::uint8_t>(ttl_ & 0xff);
    request.flags = static_cast<std::uint8_t>(flags_ & 0xff);
    request.timeoutMs = timeout_;

    if (OnEchoRequest)
        OnEchoRequest(this);
    const EchoOutcome outcome = socket_->Exchange(request);
    lastError_ = outcome.status;
    lastFailureMayPass_ = outcome.passing;
    reply_ = outcome.reply;
    if (OnEchoReply)
        OnEchoReply(this, outcome.replies);
    return outcome.replies;
}
