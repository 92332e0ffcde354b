#pragma once

// Which kind of ICMP socket an echo object uses. Automatic takes the unprivileged
// datagram kind when the system allows it and the raw kind otherwise; the other two
// insist on one kind, which tests use to exercise each path.
enum class EchoSocketKind { Automatic, Datagram, Raw };
