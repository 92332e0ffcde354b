#pragma once
// Reading what an echo socket receives: is it the answer to the request we
// wait for, and what does it say? Kept apart from the socket so that any
// bytes, however damaged, can be fed to it.

#include "net/echosocket.h"

#include <cstdint>
#include <optional>
#include <span>

// The request an answer must belong to.
struct AwaitedEcho {
    std::uint32_t destination = 0;  // network byte order
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
};

// The request a packet from a raw ICMP socket (IP header first) is about, when it
// looks like an echo reply or an ICMP error quoting an echo request: who is to be
// handed it. Nothing more is checked; ReadRawEchoAnswer does that.
std::optional<AwaitedEcho> RawEchoAnswerKey(std::span<const std::uint8_t> packet);

// The request a transmit timestamp report is about. The report carries a copy of
// the sent packet as the driver got it: a link-layer header of unknown length
// (none on some links), then the IP header. The IP header is where its total
// length reaches exactly to the end of the copy; nothing when no echo request
// is found there.
std::optional<AwaitedEcho> SentEchoKey(std::span<const std::uint8_t> copy);

// A packet from a raw ICMP socket, IP header first. True, with outcome
// filled in, when it is the echo reply to the awaited request or an ICMP
// error that quotes it; false for anything else, damaged packets included.
bool ReadRawEchoAnswer(std::span<const std::uint8_t> packet, const AwaitedEcho& awaited, EchoOutcome& outcome);

// A packet from a datagram ICMP socket, ICMP header first, with the sender
// and the TTL and TOS the kernel reported. The kernel has checked the
// checksum and the identifier; errors arrive separately.
bool ReadDatagramEchoAnswer(std::span<const std::uint8_t> packet, std::uint32_t source, int ttl, int tos,
                            const AwaitedEcho& awaited, EchoOutcome& outcome);
