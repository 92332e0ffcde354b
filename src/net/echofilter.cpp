#include "net/echofilter.h"

#include <sys/socket.h>

namespace {

sock_filter Statement(std::uint16_t code, std::uint32_t k)
{
    return BPF_STMT(code, k);
}

sock_filter Jump(std::uint16_t code, std::uint32_t k, std::uint8_t ifTrue, std::uint8_t ifFalse)
{
    return BPF_JUMP(code, k, ifTrue, ifFalse);
}

}  // namespace

std::vector<sock_filter> EchoReplyFilter(std::uint16_t identifier)
{
    // A raw IPv4 socket sees the packet from its IP header on. X holds the offset of
    // the ICMP header; for errors it is moved on to the quoted request's ICMP header,
    // 8 bytes (the error's own header) after the quoted IP header.
    enum : std::uint8_t {
        kReplyCheck = 7,
        kErrorCheck = 9,
        kAccept = 20,
        kReject = 21,
    };
    std::vector<sock_filter> program = {
        /* 0 */ Statement(BPF_LDX | BPF_B | BPF_MSH, 0),            // X = IP header length
        /* 1 */ Statement(BPF_LD | BPF_B | BPF_IND, 0),             // A = ICMP type
        /* 2 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, 0, kReplyCheck - 3, 0),   // echo reply
        /* 3 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, 3, kErrorCheck - 4, 0),   // unreachable
        /* 4 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, 11, kErrorCheck - 5, 0),  // time exceeded
        /* 5 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, 12, kErrorCheck - 6, 0),  // parameter problem
        /* 6 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, 4, kErrorCheck - 7, kReject - 7),  // source quench
        // echo reply: our identifier?
        /* 7 */ Statement(BPF_LD | BPF_H | BPF_IND, 4),
        /* 8 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, identifier, kAccept - 9, kReject - 9),
        // error: does it quote an ICMP echo request with our identifier?
        /* 9 */ Statement(BPF_LD | BPF_B | BPF_IND, 8 + 9),         // quoted IP protocol
        /* 10 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, 1, 0, kReject - 11),
        /* 11 */ Statement(BPF_LD | BPF_B | BPF_IND, 8),            // quoted version/length
        /* 12 */ Statement(BPF_ALU | BPF_AND | BPF_K, 0x0f),
        /* 13 */ Statement(BPF_ALU | BPF_LSH | BPF_K, 2),
        /* 14 */ Statement(BPF_ALU | BPF_ADD | BPF_X, 0),
        /* 15 */ Statement(BPF_MISC | BPF_TAX, 0),                  // X = offset of quoted IP length + its size
        /* 16 */ Statement(BPF_LD | BPF_B | BPF_IND, 8),            // quoted ICMP type
        /* 17 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, 8, 0, kReject - 18),
        /* 18 */ Statement(BPF_LD | BPF_H | BPF_IND, 8 + 4),        // quoted identifier
        /* 19 */ Jump(BPF_JMP | BPF_JEQ | BPF_K, identifier, kAccept - 20, kReject - 20),
        /* 20 */ Statement(BPF_RET | BPF_K, 0xffff),
        /* 21 */ Statement(BPF_RET | BPF_K, 0),
    };
    return program;
}

bool AttachEchoReplyFilter(int socketDescriptor, std::uint16_t identifier)
{
    std::vector<sock_filter> program = EchoReplyFilter(identifier);
    sock_fprog fprog{};
    fprog.len = static_cast<unsigned short>(program.size());
    fprog.filter = program.data();
    return setsockopt(socketDescriptor, SOL_SOCKET, SO_ATTACH_FILTER, &fprog, sizeof fprog) == 0;
}
