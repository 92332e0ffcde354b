#pragma once

// Whether the system refuses this program both kinds of echo socket for lack of
// permission: datagram ones because the user's group is outside
// net.ipv4.ping_group_range, raw ones for want of CAP_NET_RAW. Other failures
// (no descriptors left, no memory) do not count as a refusal.
bool EchoSocketsRefused();
