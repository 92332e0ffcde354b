#include "netlab.h"

#include "net/echosocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/veth.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Builds a netlink message attribute by attribute, nesting included.
class NetlinkMessage {
public:
    NetlinkMessage(std::uint16_t type, std::uint16_t flags)
    {
        Append(nullptr, NLMSG_HDRLEN);
        auto* header = reinterpret_cast<nlmsghdr*>(bytes_.data());
        header->nlmsg_type = type;
        header->nlmsg_flags = flags;
        header->nlmsg_seq = 1;
    }
    void Append(const void* data, std::size_t size)
    {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + NLMSG_ALIGN(size), 0);
        if (data)
            std::memcpy(bytes_.data() + at, data, size);
    }
    void Attribute(std::uint16_t type, const void* data, std::size_t size)
    {
        rtattr attribute{};
        attribute.rta_type = type;
        attribute.rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
        Append(&attribute, sizeof attribute);
        bytes_.resize(bytes_.size() - RTA_ALIGN(sizeof attribute) + sizeof attribute);
        Append(data, size);
    }
    void Text(std::uint16_t type, const std::string& text) { Attribute(type, text.c_str(), text.size() + 1); }
    std::size_t Begin(std::uint16_t type)
    {
        const std::size_t at = bytes_.size();
        rtattr attribute{};
        attribute.rta_type = type;
        Append(&attribute, sizeof attribute);
        return at;
    }
    void End(std::size_t at)
    {
        reinterpret_cast<rtattr*>(bytes_.data() + at)->rta_len = static_cast<unsigned short>(bytes_.size() - at);
    }
    std::vector<std::uint8_t>& Finish()
    {
        reinterpret_cast<nlmsghdr*>(bytes_.data())->nlmsg_len = static_cast<std::uint32_t>(bytes_.size());
        return bytes_;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

// Creates veth "lab0" here with its peer "lab1" in the namespace farFd.
bool CreateVethPair(int farFd)
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return false;
    NetlinkMessage message(RTM_NEWLINK, NLM_F_REQUEST | NLM_F_CREATE | NLM_F_EXCL | NLM_F_ACK);
    ifinfomsg link{};
    link.ifi_family = AF_UNSPEC;
    message.Append(&link, sizeof link);
    message.Text(IFLA_IFNAME, "lab0");
    const std::size_t linkInfo = message.Begin(IFLA_LINKINFO);
    message.Text(IFLA_INFO_KIND, "veth");
    const std::size_t infoData = message.Begin(IFLA_INFO_DATA);
    const std::size_t peer = message.Begin(VETH_INFO_PEER);
    message.Append(&link, sizeof link);
    message.Text(IFLA_IFNAME, "lab1");
    const std::uint32_t nsFd = static_cast<std::uint32_t>(farFd);
    message.Attribute(IFLA_NET_NS_FD, &nsFd, sizeof nsFd);
    message.End(peer);
    message.End(infoData);
    message.End(linkInfo);
    std::vector<std::uint8_t>& bytes = message.Finish();

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    bool created = false;
    if (sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) > 0) {
        alignas(nlmsghdr) std::uint8_t answer[4096];
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 2000) == 1) {
            const ssize_t length = recv(fd, answer, sizeof answer, 0);
            const auto* header = reinterpret_cast<const nlmsghdr*>(answer);
            if (length >= static_cast<ssize_t>(NLMSG_HDRLEN + sizeof(nlmsgerr)) && header->nlmsg_type == NLMSG_ERROR)
                created = reinterpret_cast<const nlmsgerr*>(NLMSG_DATA(header))->error == 0;
        }
    }
    close(fd);
    return created;
}

// Gives an interface an IPv4 address (labels like "lab1:2" add further ones) and
// brings it up; runs inside the interface's namespace.
bool ConfigureInterface(const std::string& name, const char* address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    auto* in = reinterpret_cast<sockaddr_in*>(&request.ifr_addr);
    in->sin_family = AF_INET;
    bool ok = true;
    if (address) {
        in->sin_addr.s_addr = AddressValue(address);
        ok = ioctl(fd, SIOCSIFADDR, &request) == 0;
        in->sin_addr.s_addr = htonl(0xffffff00u);
        ok = ok && ioctl(fd, SIOCSIFNETMASK, &request) == 0;
    }
    ok = ok && ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    ok = ok && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return ok;
}

void SendRawIp(int fd, std::uint32_t from, std::uint32_t to, const std::vector<std::uint8_t>& icmp)
{
    std::vector<std::uint8_t> packet(sizeof(iphdr) + icmp.size());
    iphdr header{};
    header.version = 4;
    header.ihl = 5;
    header.ttl = 64;
    header.protocol = IPPROTO_ICMP;
    header.tot_len = htons(static_cast<std::uint16_t>(packet.size()));
    header.saddr = from;
    header.daddr = to;
    std::memcpy(packet.data(), &header, sizeof header);
    std::copy(icmp.begin(), icmp.end(), packet.begin() + sizeof header);
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = to;
    sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&destination), sizeof destination);
}

std::vector<std::uint8_t> WithChecksum(std::vector<std::uint8_t> icmp)
{
    icmp[2] = icmp[3] = 0;
    const std::uint16_t sum = InternetChecksum(icmp.data(), icmp.size());
    icmp[2] = static_cast<std::uint8_t>(sum >> 8);
    icmp[3] = static_cast<std::uint8_t>(sum);
    return icmp;
}

// An ICMP error of the given type and code that quotes the start of a request.
std::vector<std::uint8_t> ErrorAbout(std::uint8_t type, std::uint8_t code, const std::uint8_t* request,
                                     std::size_t headerSize)
{
    std::vector<std::uint8_t> icmp(8, 0);
    icmp[0] = type;
    icmp[1] = code;
    icmp.insert(icmp.end(), request, request + headerSize + 8);
    return WithChecksum(icmp);
}

}  // namespace

std::uint32_t AddressValue(const char* dotted)
{
    in_addr value{};
    inet_pton(AF_INET, dotted, &value);
    return value.s_addr;
}

std::unique_ptr<NetworkNamespace> NetworkNamespace::Create(std::string& whyNot)
{
    int fd = -1;
    std::thread([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            whyNot = std::string("cannot create a network namespace: ") + std::strerror(errno);
            return;
        }
        if (!ConfigureInterface("lo", nullptr)) {
            whyNot = "cannot bring up the loopback of a new namespace";
            return;
        }
        fd = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            whyNot = "cannot keep a network namespace open";
    }).join();
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<NetworkNamespace>(new NetworkNamespace(fd));
}

NetworkNamespace::~NetworkNamespace()
{
    close(fd_);
}

void NetworkNamespace::Run(const std::function<void()>& fn) const
{
    std::thread([&] {
        if (setns(fd_, CLONE_NEWNET) == 0)
            fn();
    }).join();
}

bool NetworkNamespace::WriteSysctl(const std::string& name, const std::string& value) const
{
    bool written = false;
    Run([&] {
        std::ofstream file("/proc/sys/net/" + name);
        file << value;
        file.flush();
        written = static_cast<bool>(file);
    });
    return written;
}

std::unique_ptr<EchoLab> EchoLab::Create(int slowDelayMs, std::string& whyNot)
{
    std::unique_ptr<EchoLab> lab(new EchoLab);
    lab->slowDelayMs_ = slowDelayMs;
    lab->near_ = NetworkNamespace::Create(whyNot);
    if (lab->near_)
        lab->far_ = NetworkNamespace::Create(whyNot);
    if (!lab->far_)
        return nullptr;

    bool linked = false;
    lab->near_->Run([&] {
        linked = CreateVethPair(lab->far_->Descriptor()) && ConfigureInterface("lab0", LabAddress::Near);
    });
    lab->far_->Run([&] {
        linked = linked && ConfigureInterface("lab1", LabAddress::Slow)
                 && ConfigureInterface("lab1:1", LabAddress::Silent)
                 && ConfigureInterface("lab1:2", LabAddress::Unreachable)
                 && ConfigureInterface("lab1:3", LabAddress::TtlExpired);
    });
    if (!linked || !lab->far_->WriteSysctl("ipv4/icmp_echo_ignore_all", "1")
        || !lab->near_->WriteSysctl("ipv4/ping_group_range", "0 2147483647")) {
        whyNot = "cannot link and configure the test namespaces";
        return nullptr;
    }

    // The responder's sockets must exist before the first request arrives.
    std::atomic<bool> ready{false};
    lab->responder_ = std::thread([lab = lab.get(), &ready] {
        if (setns(lab->far_->Descriptor(), CLONE_NEWNET) != 0) {
            ready = true;
            return;
        }
        lab->Respond(ready);
    });
    for (int i = 0; i < 500 && !ready; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return lab;
}

EchoLab::~EchoLab()
{
    stop_ = true;
    if (responder_.joinable())
        responder_.join();
}

double EchoLab::ResponderCpuSeconds()
{
    clockid_t clock;
    timespec used{};
    if (!responder_.joinable() || pthread_getcpuclockid(responder_.native_handle(), &clock) != 0
        || clock_gettime(clock, &used) != 0)
        return 0;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

void EchoLab::Respond(std::atomic<bool>& ready)
{
    const int listener = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    const int sender = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    const int on = 1;
    if (listener >= 0)
        setsockopt(listener, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    ready = true;
    struct Delayed {
        Clock::time_point at;
        std::uint32_t from;
        std::uint32_t to;
        std::vector<std::uint8_t> icmp;
    };
    std::vector<Delayed> delayed;
    std::vector<std::uint8_t> buffer(70000);
    const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(120);

    while (listener >= 0 && sender >= 0 && !stop_ && Clock::now() < giveUp) {
        Clock::time_point now = Clock::now();
        // To the nanosecond: a wait rounded up to whole milliseconds would make the
        // slow host answer up to a millisecond late.
        auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(20));
        for (auto it = delayed.begin(); it != delayed.end();) {
            if (it->at <= now) {
                SendRawIp(sender, it->from, it->to, it->icmp);
                it = delayed.erase(it);
            } else {
                wait = std::min(wait, std::chrono::duration_cast<std::chrono::nanoseconds>(it->at - now));
                ++it;
            }
        }
        pollfd waiting{listener, POLLIN, 0};
        const timespec timeout{static_cast<time_t>(wait.count() / 1'000'000'000),
                               static_cast<long>(wait.count() % 1'000'000'000)};
        if (ppoll(&waiting, 1, &timeout, nullptr) <= 0)
            continue;
        iovec io{buffer.data(), buffer.size()};
        alignas(cmsghdr) char control[128];
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = recvmsg(listener, &message, MSG_DONTWAIT);
        if (length < static_cast<ssize_t>(sizeof(iphdr) + 8))
            continue;
        // The delay counts from when the request arrived, not from when this
        // thread got to it: a real host far away does not wait for our CPU.
        Clock::time_point arrived = Clock::now();
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{}, realNow{};
                std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                clock_gettime(CLOCK_REALTIME, &realNow);
                const auto ago = std::chrono::seconds(realNow.tv_sec - stamp.tv_sec)
                                 + std::chrono::nanoseconds(realNow.tv_nsec - stamp.tv_nsec);
                if (ago > std::chrono::nanoseconds(0) && ago < std::chrono::seconds(1))
                    arrived -= std::chrono::duration_cast<Clock::duration>(ago);
            }
        }
        const std::size_t headerSize = static_cast<std::size_t>(buffer[0] & 0x0f) * 4;
        if (static_cast<std::size_t>(length) < headerSize + 8 || buffer[headerSize] != ICMP_ECHO)
            continue;
        std::uint32_t from, to;
        std::memcpy(&from, &buffer[12], 4);
        std::memcpy(&to, &buffer[16], 4);

        std::vector<std::uint8_t> reply(buffer.begin() + static_cast<std::ptrdiff_t>(headerSize),
                                        buffer.begin() + length);
        reply[0] = ICMP_ECHOREPLY;
        reply = WithChecksum(reply);
        if (to == AddressValue(LabAddress::Slow)) {
            // Decoys that must not pass for the answer: the same reply from another
            // host, a reply to a long-past request, and an error about a request
            // that was never sent. (Not the request just before: with echo objects
            // sharing one sequence space that one may be another object's, still
            // awaited, and its reply rightly taken.)
            SendRawIp(sender, AddressValue(LabAddress::Silent), from, reply);
            std::vector<std::uint8_t> stale = reply;
            const std::uint16_t sequence = static_cast<std::uint16_t>(stale[6] << 8 | stale[7]);
            const std::uint16_t longPast = static_cast<std::uint16_t>(sequence - 0x4000);
            stale[6] = static_cast<std::uint8_t>(longPast >> 8);
            stale[7] = static_cast<std::uint8_t>(longPast);
            SendRawIp(sender, to, from, WithChecksum(stale));
            std::vector<std::uint8_t> other(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(headerSize + 8));
            other[headerSize + 6] ^= 0x80;
            SendRawIp(sender, to, from, ErrorAbout(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, other.data(), headerSize));
            delayed.push_back({arrived + std::chrono::milliseconds(slowDelayMs_), to, from, reply});
        } else if (to == AddressValue(LabAddress::Unreachable)) {
            SendRawIp(sender, to, from, ErrorAbout(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, buffer.data(), headerSize));
        } else if (to == AddressValue(LabAddress::TtlExpired)) {
            // As a router on the way would: from an address of its own.
            SendRawIp(sender, AddressValue(LabAddress::Unreachable), from,
                      ErrorAbout(ICMP_TIME_EXCEEDED, ICMP_EXC_TTL, buffer.data(), headerSize));
        }
    }
    if (listener >= 0)
        close(listener);
    if (sender >= 0)
        close(sender);
}
