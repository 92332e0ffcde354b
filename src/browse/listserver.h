#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browse/serverentry.h"
#include "platform/cancelsignal.h"
#include "platform/tcpclient.h"

// The list server's well-known port.
inline constexpr std::uint16_t ListServerPort = 10057;

// What a row shows in its "Distance" column until the first measurement.
inline constexpr std::string_view DistancePending = "pinging...";

struct FetchOptions {
    std::uint16_t port = ListServerPort;
    // A list server that sends nothing for this long is given up on, so a
    // silent server cannot hold the window for ever.
    std::chrono::milliseconds inactivityTimeout = std::chrono::seconds(30);
    // The whole exchange must be over by then, so a server that trickles its
    // answer cannot hold the window for ever either.
    std::chrono::milliseconds overallTimeout = std::chrono::seconds(60);
    // Longest answer accepted; an endless answer must not exhaust memory.
    std::size_t maxBytes = 16u * 1024 * 1024;
    // Most lines accepted: every line becomes a row with a thread of its own,
    // so an answer of bare line ends must not make millions of them.
    std::size_t maxLines = 10000;
    // Raised when nobody wants the answer any more: the download ends at once.
    std::shared_ptr<const CancelSignal> cancel = nullptr;
};

// The list server's answer held more lines than FetchOptions::maxLines.
class TooManyServersError : public TcpLimitError {
public:
    using TcpLimitError::TcpLimitError;
};

// Connects to the list server on host, sends nothing, and returns everything
// it sends until it closes the connection. Any failure (name not resolved,
// refused, reset, time-out, cancelled, answer too long or of too many lines) is thrown
// as a TcpError; an answer too long as a TcpLimitError, one of too many lines as a
// TooManyServersError.
std::string FetchServerList(const std::string& host, const FetchOptions& options = {});

// One entry per CR LF-terminated line, in order, nothing filtered: an empty
// line becomes an entry with empty fields. Text after the last CR LF is an
// incomplete line and is dropped; a lone CR or LF is part of its line.
std::vector<ServerEntry> ParseServerList(std::string_view answer);

// Reads one line (without its CR LF):
//   ip ":" port " " extra " " mode " " type " " version " " uptime " " players " " name
// Missing separators leave fields empty rather than failing, so every line
// yields an entry; an empty line yields an entry whose fields are all empty.
ServerEntry ParseServerLine(std::string_view line);

// Seconds as hours, minutes and seconds, "%2d:%2.2d:%2.2d" (" 1:02:05").
// Parts are truncated toward zero, so negative counts show minus signs.
std::string FormatUptime(std::int32_t seconds);
