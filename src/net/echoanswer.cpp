#include "net/echoanswer.h"

#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>

#include <cstring>

namespace {

constexpr std::size_t kIcmpHeaderSize = 8;

std::uint16_t ReadBig16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint32_t ReadRaw32(const std::uint8_t* p)
{
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

}  // namespace

std::optional<AwaitedEcho> RawEchoAnswerKey(std::span<const std::uint8_t> bytes)
{
    const std::uint8_t* packet = bytes.data();
    const std::size_t length = bytes.size();
    if (length < sizeof(iphdr))
        return std::nullopt;
    const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
    if (headerSize < sizeof(iphdr) || length < headerSize + kIcmpHeaderSize)
        return std::nullopt;
    const std::uint8_t* icmp = packet + headerSize;
    if (icmp[0] == ICMP_ECHOREPLY)
        return AwaitedEcho{ReadRaw32(packet + 12), ReadBig16(icmp + 4), ReadBig16(icmp + 6)};

    const std::uint8_t* quoted = icmp + kIcmpHeaderSize;
    const std::size_t quotedLength = length - headerSize - kIcmpHeaderSize;
    if (quotedLength < sizeof(iphdr))
        return std::nullopt;
    const std::size_t quotedHeaderSize = static_cast<std::size_t>(quoted[0] & 0x0f) * 4;
    if (quotedHeaderSize < sizeof(iphdr) || quotedLength < quotedHeaderSize + kIcmpHeaderSize)
        return std::nullopt;
    const std::uint8_t* quotedIcmp = quoted + quotedHeaderSize;
    if (quotedIcmp[0] != ICMP_ECHO)
        return std::nullopt;
    return AwaitedEcho{ReadRaw32(quoted + 16), ReadBig16(quotedIcmp + 4), ReadBig16(quotedIcmp + 6)};
}

std::optional<AwaitedEcho> SentEchoKey(std::span<const std::uint8_t> copy)
{
    // Link-layer headers are short: Ethernet with two VLAN tags is 22 bytes.
    constexpr std::size_t kLongestLinkHeader = 64;
    for (std::size_t link = 0; link <= kLongestLinkHeader && link + sizeof(iphdr) <= copy.size(); ++link) {
        const std::uint8_t* ip = copy.data() + link;
        const std::size_t rest = copy.size() - link;
        const std::size_t headerSize = static_cast<std::size_t>(ip[0] & 0x0f) * 4;
        if ((ip[0] >> 4) != 4 || headerSize < sizeof(iphdr) || ip[9] != IPPROTO_ICMP || ReadBig16(ip + 2) != rest
            || (ReadBig16(ip + 6) & 0x1fff) != 0 || rest < headerSize + kIcmpHeaderSize)
            continue;
        const std::uint8_t* icmp = ip + headerSize;
        if (icmp[0] != ICMP_ECHO || icmp[1] != 0)
            continue;
        return AwaitedEcho{ReadRaw32(ip + 16), ReadBig16(icmp + 4), ReadBig16(icmp + 6)};
    }
    return std::nullopt;
}

bool ReadRawEchoAnswer(std::span<const std::uint8_t> bytes, const AwaitedEcho& awaited, EchoOutcome& outcome)
{
    const std::uint8_t* packet = bytes.data();
    const std::size_t length = bytes.size();
    if (length < sizeof(iphdr))
        return false;
    const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
    if (headerSize < sizeof(iphdr) || length < headerSize + kIcmpHeaderSize || packet[9] != IPPROTO_ICMP)
        return false;
    const std::uint32_t source = ReadRaw32(packet + 12);
    const std::uint8_t* icmp = packet + headerSize;
    const std::size_t icmpLength = length - headerSize;
    if (InternetChecksum(icmp, icmpLength) != 0)
        return false;

    if (icmp[0] == ICMP_ECHOREPLY) {
        if (source != awaited.destination || ReadBig16(icmp + 4) != awaited.identifier
            || ReadBig16(icmp + 6) != awaited.sequence)
            return false;
        outcome.replies = 1;
        outcome.status = EchoStatus::Success;
        outcome.reply = TIcmpEchoReply{};
        outcome.reply.Address = source;
        outcome.reply.DataSize = static_cast<std::uint16_t>(icmpLength - kIcmpHeaderSize);
        outcome.reply.Options.Ttl = packet[8];
        outcome.reply.Options.Tos = packet[1];
        return true;
    }

    // An error quotes the IP header and the first 8 bytes of the packet it is about.
    const std::uint8_t* quoted = icmp + kIcmpHeaderSize;
    const std::size_t quotedLength = icmpLength - kIcmpHeaderSize;
    if (quotedLength < sizeof(iphdr))
        return false;
    const std::size_t quotedHeaderSize = static_cast<std::size_t>(quoted[0] & 0x0f) * 4;
    if (quotedHeaderSize < sizeof(iphdr) || quotedLength < quotedHeaderSize + kIcmpHeaderSize
        || quoted[9] != IPPROTO_ICMP || ReadRaw32(quoted + 16) != awaited.destination)
        return false;
    const std::uint8_t* quotedIcmp = quoted + quotedHeaderSize;
    if (quotedIcmp[0] != ICMP_ECHO || ReadBig16(quotedIcmp + 4) != awaited.identifier
        || ReadBig16(quotedIcmp + 6) != awaited.sequence)
        return false;
    outcome.replies = 0;
    outcome.status = EchoStatusFromIcmpError(icmp[0], icmp[1]);
    outcome.reply = TIcmpEchoReply{};
    outcome.reply.Address = source;
    outcome.reply.Status = outcome.status;
    outcome.reply.Options.Ttl = packet[8];
    outcome.reply.Options.Tos = packet[1];
    return true;
}

bool ReadDatagramEchoAnswer(std::span<const std::uint8_t> packet, std::uint32_t source, int ttl, int tos,
                            const AwaitedEcho& awaited, EchoOutcome& outcome)
{
    if (packet.size() < kIcmpHeaderSize || packet[0] != ICMP_ECHOREPLY || source != awaited.destination
        || ReadBig16(packet.data() + 6) != awaited.sequence)
        return false;
    outcome.replies = 1;
    outcome.status = EchoStatus::Success;
    outcome.reply = TIcmpEchoReply{};
    outcome.reply.Address = source;
    outcome.reply.DataSize = static_cast<std::uint16_t>(packet.size() - kIcmpHeaderSize);
    outcome.reply.Options.Ttl = static_cast<std::uint8_t>(ttl);
    outcome.reply.Options.Tos = static_cast<std::uint8_t>(tos);
    return true;
}
