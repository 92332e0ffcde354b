#pragma once
// The echo reply record and the status codes that callers of TICMP and TPing test.

#include <cstdint>

// Request and reply options, 8 bytes: the layout every caller of the reply record expects.
#pragma pack(push, 1)
struct TIpOptionInformation {
    std::uint8_t Ttl = 0;
    std::uint8_t Tos = 0;
    std::uint8_t Flags = 0;
    std::uint8_t OptionsSize = 0;
    std::uint32_t OptionsData = 0;  // never set: options data is not kept
};

// One echo reply, 28 bytes, as callers have always read it.
struct TIcmpEchoReply {
    std::uint32_t Address = 0;        // replying host, network byte order
    std::uint32_t Status = 0;         // one of the EchoStatus codes
    std::uint32_t RoundTripTime = 0;  // milliseconds
    std::uint16_t DataSize = 0;       // bytes of data in the reply
    std::uint16_t Reserved = 0;
    std::uint32_t Data = 0;           // always 0: the reply data is not kept past Ping
    TIpOptionInformation Options;     // TTL and TOS of the reply
};
#pragma pack(pop)

static_assert(sizeof(TIpOptionInformation) == 8);
static_assert(sizeof(TIcmpEchoReply) == 28);

// Status codes of an echo, in the numbering callers know.
namespace EchoStatus {
constexpr std::uint32_t Success = 0;
constexpr std::uint32_t DestNetUnreachable = 11002;
constexpr std::uint32_t DestHostUnreachable = 11003;
constexpr std::uint32_t DestProtUnreachable = 11004;
constexpr std::uint32_t DestPortUnreachable = 11005;
constexpr std::uint32_t NoResources = 11006;
constexpr std::uint32_t PacketTooBig = 11009;
constexpr std::uint32_t TimedOut = 11010;
constexpr std::uint32_t BadRequest = 11011;
constexpr std::uint32_t BadRoute = 11012;
constexpr std::uint32_t TtlExpiredTransit = 11013;
constexpr std::uint32_t TtlExpiredReassembly = 11014;
constexpr std::uint32_t ParameterProblem = 11015;
constexpr std::uint32_t SourceQuench = 11016;
constexpr std::uint32_t BadDestination = 11018;
constexpr std::uint32_t GeneralFailure = 11050;
}  // namespace EchoStatus

// Error numbers of host-name lookups, in the socket layer's numbering.
namespace LookupError {
constexpr std::uint16_t Success = 0;
constexpr std::uint16_t Interrupted = 10004;   // lookup cancelled
constexpr std::uint16_t InvalidArgument = 10022;
constexpr std::uint16_t NoBufferSpace = 10055;  // lookup could not be started
constexpr std::uint16_t HostNotFound = 11001;
constexpr std::uint16_t TryAgain = 11002;
constexpr std::uint16_t NoRecovery = 11003;
}  // namespace LookupError
