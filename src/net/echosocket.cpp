#include "net/echosocket.h"

#include "net/echoanswer.h"
#include "net/echofilter.h"
#include "net/echoidentifiers.h"
#include "platform/rawnetcapability.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kMaxIpHeaderSize = 60;

std::uint16_t ReadBig16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint32_t EchoStatusFromErrno(int error)
{
    switch (error) {
    case ENETUNREACH:
    case ENETDOWN:
        return EchoStatus::DestNetUnreachable;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return EchoStatus::DestHostUnreachable;
    case ECONNREFUSED:
        return EchoStatus::DestPortUnreachable;
    case EMSGSIZE:
        return EchoStatus::PacketTooBig;
    case ENOBUFS:
    case ENOMEM:
        return EchoStatus::NoResources;
    case EINVAL:
        return EchoStatus::BadRequest;
    default:
        return EchoStatus::GeneralFailure;
    }
}

std::uint32_t ElapsedMs(Clock::time_point since)
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
    return static_cast<std::uint32_t>(std::max<std::int64_t>(0, elapsed.count()));
}

}  // namespace

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (length % 2)
        sum += static_cast<std::uint32_t>(data[length - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::uint32_t EchoStatusFromIcmpError(int type, int code)
{
    switch (type) {
    case ICMP_DEST_UNREACH:
        switch (code) {
        case ICMP_NET_UNREACH:
        case ICMP_NET_UNKNOWN:
        case ICMP_NET_ANO:
        case ICMP_NET_UNR_TOS:
            return EchoStatus::DestNetUnreachable;
        case ICMP_PROT_UNREACH:
            return EchoStatus::DestProtUnreachable;
        case ICMP_PORT_UNREACH:
            return EchoStatus::DestPortUnreachable;
        case ICMP_FRAG_NEEDED:
            return EchoStatus::PacketTooBig;
        case ICMP_SR_FAILED:
            return EchoStatus::BadRoute;
        default:
            return EchoStatus::DestHostUnreachable;
        }
    case ICMP_TIME_EXCEEDED:
        return code == ICMP_EXC_FRAGTIME ? EchoStatus::TtlExpiredReassembly
                                         : EchoStatus::TtlExpiredTransit;
    case ICMP_PARAMETERPROB:
        return EchoStatus::ParameterProblem;
    case ICMP_SOURCE_QUENCH:
        return EchoStatus::SourceQuench;
    default:
        return EchoStatus::GeneralFailure;
    }
}

EchoSocket::EchoSocket(EchoSocketKind kind, int fd, std::uint16_t identifier, bool pooledIdentifier)
    : kind_(kind), fd_(fd), identifier_(identifier), pooledIdentifier_(pooledIdentifier)
{
}

EchoSocket::~EchoSocket()
{
    close(fd_);
    if (pooledIdentifier_)
        EchoIdentifierPool::Process().Release(identifier_);
}

std::unique_ptr<EchoSocket> EchoSocket::Open(EchoSocketKind kind)
{
    switch (kind) {
    case EchoSocketKind::Datagram:
        return OpenDatagram();
    case EchoSocketKind::Raw:
        return OpenRaw();
    case EchoSocketKind::Automatic:
        break;
    }
    if (auto socket = OpenDatagram())
        return socket;
    return OpenRaw();
}

std::unique_ptr<EchoSocket> EchoSocket::OpenDatagram()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return nullptr;
    // The kernel picks the echo identifier when the socket is bound and delivers only
    // replies that carry it; binding now lets us know it.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t localSize = sizeof local;
    const int on = 1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
        || getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0
        || setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) != 0
        || setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on) != 0
        || setsockopt(fd, IPPROTO_IP, IP_RECVTOS, &on, sizeof on) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<EchoSocket>(
        new EchoSocket(EchoSocketKind::Datagram, fd, ntohs(local.sin_port), false));
}

std::unique_ptr<EchoSocket> EchoSocket::OpenRaw()
{
    // The privilege is needed only to open the socket, so it is held no longer.
    const int fd = [] {
        ScopedRawNetCapability privileged;
        return socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    }();
    if (fd < 0)
        return nullptr;
    const std::optional<std::uint16_t> identifier = EchoIdentifierPool::Process().Acquire();
    if (!identifier) {
        close(fd);
        return nullptr;
    }
    // Errors about our requests come through the error queue once the socket is
    // connected to its destination (see Exchange), as they do for datagram sockets.
    const int on = 1;
    if (!AttachEchoReplyFilter(fd, *identifier) || setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) != 0) {
        close(fd);
        EchoIdentifierPool::Process().Release(*identifier);
        return nullptr;
    }
    // Packets that arrived between socket() and the filter bypassed it: drop them.
    std::uint8_t scratch[64];
    for (int i = 0; i < 10000 && recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) >= 0; ++i) {
    }
    return std::unique_ptr<EchoSocket>(new EchoSocket(EchoSocketKind::Raw, fd, *identifier, true));
}

bool EchoSocket::ApplyOptions(const EchoRequest& request, std::uint32_t& status)
{
    if (request.ttl != appliedTtl_) {
        const int ttl = request.ttl;
        if (setsockopt(fd_, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0) {
            status = EchoStatus::BadRequest;
            return false;
        }
        appliedTtl_ = request.ttl;
    }
    const int dontFragment = (request.flags & DontFragment) ? 1 : 0;
    if (dontFragment != appliedDontFragment_) {
        const int mode = dontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
        if (setsockopt(fd_, IPPROTO_IP, IP_MTU_DISCOVER, &mode, sizeof mode) != 0) {
            status = EchoStatus::BadRequest;
            return false;
        }
        appliedDontFragment_ = dontFragment;
    }
    return true;
}

EchoOutcome EchoSocket::Exchange(const EchoRequest& request)
{
    EchoOutcome outcome;
    // A request that cannot leave this host: TTL 0 would expire at once.
    if (request.ttl == 0) {
        outcome.status = EchoStatus::TtlExpiredTransit;
        outcome.reply.Status = outcome.status;
        return outcome;
    }
    if (request.data.size() > 65535 - kIcmpHeaderSize - sizeof(iphdr)) {
        outcome.status = EchoStatus::BadRequest;
        outcome.reply.Status = outcome.status;
        return outcome;
    }
    if (!ApplyOptions(request, outcome.status)) {
        outcome.reply.Status = outcome.status;
        return outcome;
    }

    ++sequence_;
    std::vector<std::uint8_t> packet(kIcmpHeaderSize + request.data.size());
    packet[0] = ICMP_ECHO;
    packet[1] = 0;
    const std::uint16_t identifier = htons(identifier_);
    const std::uint16_t sequence = htons(sequence_);
    std::memcpy(&packet[4], &identifier, 2);
    std::memcpy(&packet[6], &sequence, 2);
    std::copy(request.data.begin(), request.data.end(), packet.begin() + kIcmpHeaderSize);
    const std::uint16_t checksum = htons(InternetChecksum(packet.data(), packet.size()));
    std::memcpy(&packet[2], &checksum, 2);

    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = request.destination;

    // Room for the largest answer that can still be ours: our size plus headers.
    std::vector<std::uint8_t> buffer(kMaxIpHeaderSize + packet.size() + 64);

    if (kind_ == EchoSocketKind::Raw && request.destination != connectedTo_) {
        // A raw socket connected to its destination is passed over by the kernel for
        // packets from other hosts before they are copied, which keeps many sockets
        // cheap; the filter then sorts out the ones to the same host.
        if (connect(fd_, reinterpret_cast<sockaddr*>(&destination), sizeof destination) != 0) {
            connectedTo_ = 0;
            outcome.status = EchoStatusFromErrno(errno);
            outcome.reply.Status = outcome.status;
            return outcome;
        }
        connectedTo_ = request.destination;
    }

    const AwaitedEcho awaited{request.destination, identifier_, sequence_};
    const Clock::time_point sent = Clock::now();
    const Clock::time_point deadline = sent + std::chrono::milliseconds(std::max(0, request.timeoutMs));
    if (sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&destination),
               sizeof destination) < 0) {
        outcome.status = EchoStatusFromErrno(errno);
        outcome.reply.Status = outcome.status;
        return outcome;
    }

    for (;;) {
        const auto remaining =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (remaining <= 0)
            break;
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(remaining));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        if (waiting.revents & POLLERR) {
            if (TakeQueuedError(request, outcome)) {
                outcome.reply.RoundTripTime = ElapsedMs(sent);
                return outcome;
            }
        }
        if (!(waiting.revents & POLLIN))
            continue;

        sockaddr_in source{};
        iovec io{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[128];
        msghdr message{};
        message.msg_name = &source;
        message.msg_namelen = sizeof source;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = recvmsg(fd_, &message, MSG_DONTWAIT);
        if (length < 0)
            continue;  // a pending socket error already read above, or a spurious wake-up
        if (message.msg_flags & MSG_TRUNC)
            continue;  // larger than anything that can answer our request

        bool answered = false;
        if (kind_ == EchoSocketKind::Raw) {
            answered = ReadRawEchoAnswer({buffer.data(), static_cast<std::size_t>(length)}, awaited, outcome);
        } else {
            int ttl = 0, tos = 0;
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level != IPPROTO_IP)
                    continue;
                if (c->cmsg_type == IP_TTL)
                    std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                else if (c->cmsg_type == IP_TOS)
                    tos = *CMSG_DATA(c);
            }
            answered = ReadDatagramEchoAnswer({buffer.data(), static_cast<std::size_t>(length)},
                                              source.sin_addr.s_addr, ttl, tos, awaited, outcome);
        }
        if (answered) {
            outcome.reply.RoundTripTime = ElapsedMs(sent);
            return outcome;
        }
    }

    outcome = EchoOutcome{};
    outcome.status = EchoStatus::TimedOut;
    outcome.reply.Status = outcome.status;
    return outcome;
}

bool EchoSocket::TakeQueuedError(const EchoRequest& request, EchoOutcome& outcome)
{
    // Bounded: the queue holds at most what arrived since the last request.
    for (int i = 0; i < 64; ++i) {
        std::uint8_t quoted[kIcmpHeaderSize + 8];
        sockaddr_in about{};
        iovec io{quoted, sizeof quoted};
        alignas(cmsghdr) char control[256];
        msghdr message{};
        message.msg_name = &about;
        message.msg_namelen = sizeof about;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = recvmsg(fd_, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (length < 0)
            return false;

        const sock_extended_err* error = nullptr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR)
                error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
        }
        if (!error || about.sin_addr.s_addr != request.destination)
            continue;
        // The queued copy starts with the ICMP header of the request it is about.
        if (static_cast<std::size_t>(length) < kIcmpHeaderSize || quoted[0] != ICMP_ECHO
            || ReadBig16(quoted + 6) != sequence_
            || (kind_ == EchoSocketKind::Raw && ReadBig16(quoted + 4) != identifier_))
            continue;

        std::uint32_t offender = 0;
        if (error->ee_origin == SO_EE_ORIGIN_ICMP) {
            outcome.status = EchoStatusFromIcmpError(error->ee_type, error->ee_code);
            const auto* from = reinterpret_cast<const sockaddr_in*>(SO_EE_OFFENDER(error));
            if (from->sin_family == AF_INET)
                offender = from->sin_addr.s_addr;
        } else {
            outcome.status = EchoStatusFromErrno(static_cast<int>(error->ee_errno));
        }
        outcome.replies = 0;
        outcome.reply = TIcmpEchoReply{};
        outcome.reply.Address = offender;
        outcome.reply.Status = outcome.status;
        return true;
    }
    return false;
}
