#include "net/echosocket.h"

#include "net/echoanswer.h"
#include "net/echofilter.h"
#include "net/echoidentifiers.h"
#include "platform/monotonictime.h"
#include "platform/networknamespace.h"
#include "platform/rawnetcapability.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <semaphore.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <utility>

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

// Send failures that say nothing about the destination itself: a local firewall
// rule, a network or route that is down for now, a full send queue.
bool SendErrorMayPass(int error)
{
    switch (error) {
    case EPERM:
    case EACCES:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENOBUFS:
    case ENOMEM:
    case EAGAIN:
        return true;
    default:
        return false;
    }
}

std::uint64_t KeyOf(std::uint32_t destination, std::uint16_t identifier, std::uint16_t sequence)
{
    return static_cast<std::uint64_t>(destination) << 32 | static_cast<std::uint64_t>(identifier) << 16 | sequence;
}

struct SharedSockets {
    std::mutex mutex;
    std::map<std::pair<EchoSocketKind, ino_t>, std::weak_ptr<EchoSocket>> open;
};

SharedSockets& Registry()
{
    static SharedSockets* registry = new SharedSockets;  // never destroyed: used until exit
    return *registry;
}

// Requests larger than this cannot be sent; answers to them cannot be larger either.
constexpr std::size_t kLargestPacket = 65535;
// Receive buffers kept between exchanges. An exchange holds one from before its
// send until its own reads end, and rows that wake together on a busy machine
// are often preempted in between: a hundred of them may hold one at once. At
// most 8 MiB of address space; only the pages that packets were read into stay
// resident.
constexpr std::size_t kSpareBuffers = 128;
// Messages taken from the socket per wake-up before looking at the wake-up event again.
constexpr int kMessagesPerRound = 256;
// While answers come in faster than one per this time, the receiver takes them a
// batch at a time, waking once per this time rather than once per answer. Their
// round trips come from kernel timestamps, so the wait does not lengthen them.
constexpr auto kBatchTime = std::chrono::milliseconds(10);

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

struct EchoSocket::Waiter {
    std::uint64_t key = 0;
    AwaitedEcho awaited;
    EchoTimes times;  // our clocks and the kernel's stamps
    // Set once, under the lock, by whoever reads the answer (or the transmit
    // report); read without it by the exchange's own reads, to stop reading once
    // another thread has handed over what they were looking for.
    std::atomic<bool> answered{false};
    std::atomic<bool> stamped{false};
    bool outstanding = false;  // counted in outstanding_ until answered or ended
    EchoOutcome outcome;
    // Posted once the answer is handed over. A semaphore may be posted after the
    // lock is released and destroyed as soon as it is taken, so the waiter does
    // not wake only to wait for the reader's lock.
    sem_t answeredSignal;
    Waiter() { sem_init(&answeredSignal, 0, 0); }
    ~Waiter() { sem_destroy(&answeredSignal); }
};

EchoSocket::EchoSocket(EchoSocketKind kind, int fd, std::uint16_t identifier, bool pooledIdentifier)
    : kind_(kind), fd_(fd), identifier_(identifier), pooledIdentifier_(pooledIdentifier)
{
}

EchoSocket::~EchoSocket()
{
    if (receiver_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        WakeReceiver();
        receiver_.join();
    }
    if (wakeFd_ >= 0)
        close(wakeFd_);
    close(fd_);
    if (pooledIdentifier_)
        EchoIdentifierPool::Process().Release(identifier_);
}

std::shared_ptr<EchoSocket> EchoSocket::Shared(EchoSocketKind kind)
{
    const ino_t network = NetworkNamespaceOfThisThread();
    SharedSockets& registry = Registry();
    std::lock_guard lock(registry.mutex);
    // Forget sockets that have closed, such as those of namespaces now gone.
    std::erase_if(registry.open, [](const auto& entry) { return entry.second.expired(); });
    auto take = [&](EchoSocketKind concrete) -> std::shared_ptr<EchoSocket> {
        std::weak_ptr<EchoSocket>& slot = registry.open[{concrete, network}];
        if (auto socket = slot.lock())
            return socket;
        std::shared_ptr<EchoSocket> socket = concrete == EchoSocketKind::Raw ? OpenRaw() : OpenDatagram();
        if (!socket)
            return nullptr;
        socket->kernelTimestamps_ = EnableKernelTimestamps(socket->fd_);
        // Room for a burst of answers while the receiving thread waits for the CPU.
        const int receiveBuffer = 1 << 20;
        setsockopt(socket->fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        socket->wakeFd_ = eventfd(0, EFD_CLOEXEC);
        if (socket->wakeFd_ < 0)
            return nullptr;
        try {
            // The receiving thread's buffer is made here: out of memory there
            // would end the program, here it only leaves the socket unopened.
            std::vector<std::uint8_t> buffer(kLargestPacket + 1);
            socket->spareBuffers_.reserve(kSpareBuffers);
            socket->receiver_ = std::thread(&EchoSocket::Receive, socket.get(), std::move(buffer));
        } catch (const std::exception&) {
            return nullptr;
        }
        slot = socket;
        return socket;
    };
    switch (kind) {
    case EchoSocketKind::Datagram:
        return take(EchoSocketKind::Datagram);
    case EchoSocketKind::Raw:
        return take(EchoSocketKind::Raw);
    case EchoSocketKind::Automatic:
        break;
    }
    if (auto socket = take(EchoSocketKind::Datagram))
        return socket;
    return take(EchoSocketKind::Raw);
}

bool EchoSocket::IsOpen(EchoSocketKind kind)
{
    SharedSockets& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const auto found = registry.open.find({kind, NetworkNamespaceOfThisThread()});
    return found != registry.open.end() && !found->second.expired();
}

std::shared_ptr<EchoSocket> EchoSocket::OpenDatagram()
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
    return std::shared_ptr<EchoSocket>(new EchoSocket(EchoSocketKind::Datagram, fd, ntohs(local.sin_port), false));
}

std::shared_ptr<EchoSocket> EchoSocket::OpenRaw()
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
    // ICMP errors about our requests arrive as ordinary packets, which the filter
    // lets through along with our replies.
    if (!AttachEchoReplyFilter(fd, *identifier)) {
        close(fd);
        EchoIdentifierPool::Process().Release(*identifier);
        return nullptr;
    }
    // Packets that arrived between socket() and the filter bypassed it: drop them.
    std::uint8_t scratch[64];
    for (int i = 0; i < 10000 && recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) >= 0; ++i) {
    }
    return std::shared_ptr<EchoSocket>(new EchoSocket(EchoSocketKind::Raw, fd, *identifier, true));
}

bool EchoSocket::OptionsAppliedFor(const EchoRequest& request) const
{
    return request.ttl == appliedTtl_ && ((request.flags & DontFragment) ? 1 : 0) == appliedDontFragment_;
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

bool EchoSocket::Send(const EchoRequest& request, std::span<const std::uint8_t> packet, std::uint32_t& status,
                      bool& passing)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = request.destination;
    auto sendNow = [&] {
        // An ICMP error about another exchange's request also leaves a socket
        // error, which fails the next send once; a failure of this send repeats.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&destination),
                       sizeof destination)
                >= 0)
                return true;
        }
        status = EchoStatusFromErrno(errno);
        passing = SendErrorMayPass(errno);
        return false;
    };
    {
        std::shared_lock shared(optionsMutex_);
        if (OptionsAppliedFor(request))
            return sendNow();
    }
    std::unique_lock alone(optionsMutex_);
    return ApplyOptions(request, status) && sendNow();
}

std::uint16_t EchoSocket::NextSequenceFor(std::uint32_t destination)
{
    // One sequence space for the socket; skip numbers still awaited from the same host.
    for (int tries = 0; tries < 65536; ++tries) {
        ++sequence_;
        if (!exchanges_.contains(KeyOf(destination, identifier_, sequence_)))
            break;
    }
    return sequence_;
}

EchoOutcome EchoSocket::Exchange(const EchoRequest& request)
{
    EchoOutcome outcome;
    auto failed = [&outcome](std::uint32_t status) {
        outcome.status = status;
        outcome.reply.Status = status;
        return outcome;
    };
    // A request that cannot leave this host: TTL 0 would expire at once.
    if (request.ttl == 0)
        return failed(EchoStatus::TtlExpiredTransit);
    if (request.data.size() > kLargestPacket - kIcmpHeaderSize - sizeof(iphdr))
        return failed(EchoStatus::BadRequest);

    // Everything that may run out of memory comes before the waiter is
    // registered: once it is, nothing may throw until it is taken out again.
    std::vector<std::uint8_t> packet(kIcmpHeaderSize + request.data.size());
    Waiter waiter;
    std::unique_lock lock(mutex_);
    std::unique_ptr<std::uint8_t[]> buffer;
    if (!spareBuffers_.empty()) {
        buffer = std::move(spareBuffers_.back());
        spareBuffers_.pop_back();
    } else {
        lock.unlock();
        buffer.reset(new std::uint8_t[kLargestPacket + 1]);
        lock.lock();
    }
    const std::uint16_t sequence = NextSequenceFor(request.destination);
    waiter.awaited = AwaitedEcho{request.destination, identifier_, sequence};
    waiter.key = KeyOf(request.destination, identifier_, sequence);
    exchanges_.emplace(waiter.key, &waiter);
    lock.unlock();

    packet[0] = ICMP_ECHO;
    std::copy(request.data.begin(), request.data.end(), packet.begin() + kIcmpHeaderSize);
    const std::uint16_t identifierBytes = htons(identifier_);
    const std::uint16_t sequenceBytes = htons(sequence);
    std::memcpy(&packet[4], &identifierBytes, 2);
    std::memcpy(&packet[6], &sequenceBytes, 2);
    const std::uint16_t checksum = htons(InternetChecksum(packet.data(), packet.size()));
    std::memcpy(&packet[2], &checksum, 2);

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(0, request.timeoutMs));
    waiter.times.sent = ReadClocks();
    std::uint32_t sendStatus = EchoStatus::Success;
    bool sendMayPass = false;
    const bool sent = Send(request, packet, sendStatus, sendMayPass);

    if (sent) {
        // Over loopback and other fast paths the answer is often in already: take
        // what there is now rather than wake the receiving thread for it.
        const std::span<std::uint8_t> room(buffer.get(), kLargestPacket + 1);
        if (kernelTimestamps_)
            TakeErrorQueue(room, &waiter);
        TakeReceived(room, &waiter);
        lock.lock();
        KeepBuffer(buffer);
        if (waiter.answered) {
            // In already: done without another turn of the lock, unless whoever
            // handed it over is still posting; the post must be taken before the
            // waiter goes.
            if (sem_trywait(&waiter.answeredSignal) != 0) {
                lock.unlock();
                while (sem_wait(&waiter.answeredSignal) != 0 && errno == EINTR) {
                }
                lock.lock();
            }
        } else {
            waiter.outstanding = true;
            const bool wake = outstanding_++ == 0;
            lock.unlock();
            if (wake)
                WakeReceiver();
            // Answers may wait up to one batch time before they are handed over: allow
            // for that, then judge by when the answer really came.
            const ClockDeadline until = MonotonicDeadline(deadline + kBatchTime);
            bool signalled = false;
            while (!(signalled = sem_clockwait(&waiter.answeredSignal, CLOCK_MONOTONIC, &until) == 0)
                   && errno == EINTR) {
            }
            lock.lock();
            if (!signalled && waiter.answered) {
                // Handed over just now: the post is under way, and it must be taken
                // before the waiter goes.
                lock.unlock();
                while (sem_wait(&waiter.answeredSignal) != 0 && errno == EINTR) {
                }
                lock.lock();
            }
        }
    } else {
        lock.lock();
        KeepBuffer(buffer);
    }
    if (std::exchange(waiter.outstanding, false))
        --outstanding_;  // timed out
    exchanges_.erase(waiter.key);
    const EchoOutcome answer = waiter.outcome;
    const EchoTimes times = waiter.times;
    const bool answered = waiter.answered;
    lock.unlock();
    if (!sent) {
        outcome.passing = sendMayPass;
        return failed(sendStatus);
    }
    // The kernel's times where it gave them, so that waiting for the CPU on either
    // side does not count as travel time, unless the clock was stepped meanwhile.
    const std::int64_t roundTrip = answered ? RoundTripNanoseconds(times) : 0;
    const std::int64_t timeoutNs = static_cast<std::int64_t>(std::max(0, request.timeoutMs)) * 1'000'000;
    if (!answered || roundTrip > timeoutNs)
        return failed(EchoStatus::TimedOut);
    outcome = answer;
    outcome.reply.RoundTripTime = WholeMilliseconds(roundTrip);
    return outcome;
}

void EchoSocket::Receive(std::vector<std::uint8_t> buffer)
{
    // The average time between wake-ups that found something, smoothed.
    auto lastRound = Clock::now();
    auto averageGap = std::chrono::duration<double, std::milli>(1000);
    for (;;) {
        bool watchSocket = false;
        {
            std::lock_guard lock(mutex_);
            if (closing_)
                return;
            watchSocket = outstanding_ > 0;
        }
        pollfd watched[2] = {{wakeFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
        if (poll(watched, watchSocket ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[0].revents) {
            std::uint64_t count = 0;
            if (read(wakeFd_, &count, sizeof count) < 0) {
                // Nothing to clear: another wake-up came first.
            }
        }
        if (!watchSocket || !watched[1].revents)
            continue;
        // Transmit reports first: they are queued before the answers they go with.
        if (watched[1].revents & POLLERR)
            TakeErrorQueue(buffer);
        // A pending socket error also shows as POLLERR, and only a normal read
        // takes it away.
        if (watched[1].revents & (POLLIN | POLLERR))
            TakeReceived(buffer);

        const auto now = Clock::now();
        averageGap = averageGap * 0.875 + std::chrono::duration<double, std::milli>(now - lastRound) * 0.125;
        lastRound = now;
        if (averageGap < kBatchTime / 2)
            std::this_thread::sleep_for(kBatchTime);
    }
}

void EchoSocket::KeepBuffer(std::unique_ptr<std::uint8_t[]>& buffer)
{
    // Within the reserved room only, so that keeping never allocates; a buffer
    // beyond it stays with the caller, to be freed outside the lock.
    if (spareBuffers_.size() < spareBuffers_.capacity())
        spareBuffers_.push_back(std::move(buffer));
}

void EchoSocket::WakeReceiver()
{
    const std::uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) {
        // An eventfd write fails only on overflow, when it is already signalled.
    }
}

void EchoSocket::TakeReceived(std::span<std::uint8_t> buffer, const Waiter* until)
{
    for (int i = 0; i < kMessagesPerRound; ++i) {
        // Another thread may have read this exchange's answer meanwhile: a read
        // now would most likely find nothing.
        if (until && until->answered.load(std::memory_order_relaxed))
            return;
        sockaddr_in source{};
        iovec io{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[256];
        msghdr message{};
        message.msg_name = &source;
        message.msg_namelen = sizeof source;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = recvmsg(fd_, &message, MSG_DONTWAIT);
        if (length < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            continue;  // a pending socket error, reported once; the error queue has the details
        }
        if (message.msg_flags & MSG_TRUNC)
            continue;  // larger than anything that can answer a request
        const std::span<const std::uint8_t> bytes(buffer.data(), static_cast<std::size_t>(length));
        const std::optional<KernelNanoseconds> arrivedAt = MessageTimestamp(message);

        if (kind_ == EchoSocketKind::Raw) {
            const std::optional<AwaitedEcho> key = RawEchoAnswerKey(bytes);
            if (!key)
                continue;
            std::unique_lock lock(mutex_);
            const auto found = exchanges_.find(KeyOf(key->destination, key->identifier, key->sequence));
            if (found == exchanges_.end() || found->second->answered)
                continue;  // for no one, or late: its exchange has given up
            Waiter& waiter = *found->second;
            if (ReadRawEchoAnswer(bytes, waiter.awaited, waiter.outcome)) {
                HandOver(waiter, arrivedAt, lock);
                if (&waiter == until)
                    return;
            }
        } else {
            if (length < static_cast<ssize_t>(kIcmpHeaderSize))
                continue;
            int ttl = 0, tos = 0;
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level != IPPROTO_IP)
                    continue;
                if (c->cmsg_type == IP_TTL)
                    std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                else if (c->cmsg_type == IP_TOS)
                    tos = *CMSG_DATA(c);
            }
            std::unique_lock lock(mutex_);
            const auto found = exchanges_.find(KeyOf(source.sin_addr.s_addr, identifier_, ReadBig16(buffer.data() + 6)));
            if (found == exchanges_.end() || found->second->answered)
                continue;
            Waiter& waiter = *found->second;
            if (ReadDatagramEchoAnswer(bytes, source.sin_addr.s_addr, ttl, tos, waiter.awaited, waiter.outcome)) {
                HandOver(waiter, arrivedAt, lock);
                if (&waiter == until)
                    return;
            }
        }
    }
}

void EchoSocket::TakeErrorQueue(std::span<std::uint8_t> buffer, const Waiter* until)
{
    for (int i = 0; i < kMessagesPerRound; ++i) {
        if (until && until->stamped.load(std::memory_order_relaxed))
            return;
        sockaddr_in about{};
        iovec io{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[512];
        msghdr message{};
        message.msg_name = &about;
        message.msg_namelen = sizeof about;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = recvmsg(fd_, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (length < 0)
            return;
        if (message.msg_flags & MSG_TRUNC)
            continue;  // larger than any request we send
        const std::span<const std::uint8_t> bytes(buffer.data(), static_cast<std::size_t>(length));

        const sock_extended_err* error = nullptr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR)
                error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
        }
        if (!error)
            continue;

        if (error->ee_origin == SO_EE_ORIGIN_TIMESTAMPING) {
            // The report carries a copy of the request it is about.
            const std::optional<KernelNanoseconds> leftAt = MessageTimestamp(message);
            const std::optional<AwaitedEcho> sent = SentEchoKey(bytes);
            if (!leftAt || !sent)
                continue;
            std::lock_guard lock(mutex_);
            const auto found = exchanges_.find(KeyOf(sent->destination, sent->identifier, sent->sequence));
            if (found == exchanges_.end())
                continue;
            found->second->times.leftAt = leftAt;
            found->second->stamped = true;
            continue;
        }

        // An ICMP error about one of our requests (datagram sockets): the queued copy
        // starts with the request's ICMP header.
        if (bytes.size() < kIcmpHeaderSize || bytes[0] != ICMP_ECHO)
            continue;
        std::unique_lock lock(mutex_);
        const std::uint16_t identifier = kind_ == EchoSocketKind::Raw ? ReadBig16(&bytes[4]) : identifier_;
        const auto found = exchanges_.find(KeyOf(about.sin_addr.s_addr, identifier, ReadBig16(&bytes[6])));
        if (found == exchanges_.end() || found->second->answered)
            continue;
        Waiter& waiter = *found->second;
        std::uint32_t offender = 0;
        EchoOutcome& outcome = waiter.outcome;
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
        HandOver(waiter, MessageTimestamp(message), lock);
        if (&waiter == until)
            return;
    }
}

void EchoSocket::HandOver(Waiter& waiter, std::optional<KernelNanoseconds> receivedAt, std::unique_lock<std::mutex>& lock)
{
    waiter.times.handedOver = ReadClocks();
    waiter.times.arrivedAt = receivedAt;
    waiter.answered = true;
    if (std::exchange(waiter.outstanding, false))
        --outstanding_;
    // Once it sees answered, a waiter that timed out meanwhile waits for this post
    // and only then goes, so posting outside the lock is safe.
    lock.unlock();
    sem_post(&waiter.answeredSignal);
}
