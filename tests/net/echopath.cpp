#include "echopath.h"

#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

bool CanOpenEchoSocket(EchoSocketKind kind)
{
    const int fd = socket(AF_INET, (kind == EchoSocketKind::Raw ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::unique_ptr<EchoPath> EchoPath::Prepare(EchoSocketKind kind, std::string& whyNot)
{
    auto path = std::make_unique<EchoPath>();
    if (kind == EchoSocketKind::Datagram && !CanOpenEchoSocket(kind)) {
        path->namespace_ = NetworkNamespace::Create(whyNot);
        if (!path->namespace_)
            return nullptr;
        if (!path->namespace_->WriteSysctl("ipv4/ping_group_range", "0 2147483647")) {
            whyNot = "cannot admit this group to datagram echo sockets";
            return nullptr;
        }
        return path;
    }
    if (!CanOpenEchoSocket(kind)) {
        whyNot = std::string("no ") + KindName(kind) + " ICMP socket can be opened here (not root?)";
        return nullptr;
    }
    return path;
}

void EchoPath::Run(const std::function<void()>& fn) const
{
    if (namespace_)
        namespace_->Run(fn);
    else
        fn();
}

EchoRequestSniffer::EchoRequestSniffer() : fd_(socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)) {}

EchoRequestSniffer::~EchoRequestSniffer()
{
    if (fd_ >= 0)
        close(fd_);
}

std::optional<SeenRequest> EchoRequestSniffer::Next(std::uint32_t destination, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::uint8_t> packet(70000);
    for (int i = 0; i < 10000 && Clock::now() < deadline; ++i) {
        pollfd waiting{fd_, POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (poll(&waiting, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0)
            continue;
        const ssize_t length = recv(fd_, packet.data(), packet.size(), MSG_DONTWAIT);
        if (length < static_cast<ssize_t>(sizeof(iphdr) + 8))
            continue;
        const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
        std::uint32_t to;
        std::memcpy(&to, &packet[16], 4);
        if (to != destination || packet[headerSize] != ICMP_ECHO)
            continue;
        SeenRequest seen;
        seen.ttl = packet[8];
        seen.flags = packet[6] << 8 | packet[7];
        seen.data.assign(packet.begin() + static_cast<std::ptrdiff_t>(headerSize + 8), packet.begin() + length);
        return seen;
    }
    return std::nullopt;
}

std::string LoopbackAddress(int tag)
{
    const unsigned pid = static_cast<unsigned>(getpid());
    return "127." + std::to_string(100 + tag % 100) + "." + std::to_string(pid / 250 % 250 + 1) + "."
           + std::to_string(pid % 250 + 1);
}

const char* KindName(EchoSocketKind kind)
{
    switch (kind) {
    case EchoSocketKind::Raw:
        return "Raw";
    case EchoSocketKind::Datagram:
        return "Datagram";
    default:
        return "Automatic";
    }
}
