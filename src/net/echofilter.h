#pragma once
// Kernel-side packet filter for raw ICMP echo sockets: passes only echo replies with
// the socket's identifier and ICMP errors that quote one of its echo requests, so a
// socket is woken only for packets that may concern it.

#include <linux/filter.h>

#include <cstdint>
#include <vector>

std::vector<sock_filter> EchoReplyFilter(std::uint16_t identifier);

// Attaches the filter to a raw ICMP socket; false when the kernel refuses it.
bool AttachEchoReplyFilter(int socketDescriptor, std::uint16_t identifier);
