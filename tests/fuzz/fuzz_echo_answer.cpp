// What an echo socket receives: any bytes are read without fault, and an
// answer is taken only when it belongs to the awaited request.

#include "net/echoanswer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <vector>

namespace {

void RequireConsistent(bool answered, const EchoOutcome& outcome, std::uint32_t source, std::size_t icmpLength)
{
    if (!answered)
        return;
    if (outcome.reply.Address != source || outcome.replies > 1)
        std::abort();
    if (outcome.replies == 1 && (outcome.status != EchoStatus::Success || outcome.reply.DataSize != icmpLength - 8))
        std::abort();
    if (outcome.replies == 0 && (outcome.status == EchoStatus::Success || outcome.reply.Status != outcome.status))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    AwaitedEcho awaited;
    awaited.destination = input.ConsumeIntegral<std::uint32_t>();
    awaited.identifier = input.ConsumeIntegral<std::uint16_t>();
    awaited.sequence = input.ConsumeIntegral<std::uint16_t>();
    const int ttl = input.ConsumeIntegral<std::uint8_t>();
    const int tos = input.ConsumeIntegral<std::uint8_t>();
    const std::vector<std::uint8_t> packet = input.ConsumeRemainingBytes<std::uint8_t>();

    // As a raw socket delivers it: IP header first, the source inside it.
    EchoOutcome raw;
    const bool rawAnswered = ReadRawEchoAnswer(packet, awaited, raw);
    // Whatever is taken as the answer must have been handed to the request it names.
    const std::optional<AwaitedEcho> key = RawEchoAnswerKey(packet);
    if (rawAnswered && (!key || key->destination != awaited.destination || key->identifier != awaited.identifier
                        || key->sequence != awaited.sequence))
        std::abort();
    if (rawAnswered) {
        const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
        std::uint32_t source;
        std::copy_n(packet.begin() + 12, 4, reinterpret_cast<std::uint8_t*>(&source));
        RequireConsistent(true, raw, source, packet.size() - headerSize);
    }

    // As a transmit report carries it: read without fault whatever the link header.
    if (const std::optional<AwaitedEcho> sent = SentEchoKey(packet); sent && packet.size() < 28)
        std::abort();  // too short to hold an IP header and an echo request

    // As a datagram socket delivers it: ICMP header first, from the awaited host.
    EchoOutcome datagram;
    const bool datagramAnswered = ReadDatagramEchoAnswer(packet, awaited.destination, ttl, tos, awaited, datagram);
    RequireConsistent(datagramAnswered, datagram, awaited.destination, packet.size());
    if (datagramAnswered && (datagram.reply.Options.Ttl != ttl || datagram.reply.Options.Tos != tos))
        std::abort();
    return 0;
}
