#pragma once

#include <chrono>
#include <exception>
#include <string>

// The time limits an exchange ran under.
struct ExchangeLimits {
    std::chrono::milliseconds inactivity;  // without a byte
    std::chrono::milliseconds overall;     // for the whole exchange
};

// Why a connection to host failed, in a few words for the user, from the
// TcpError it ended with: "unknown host NAME", "connection refused", "no
// answer within 5 s", "closed the connection" and the like. elapsed is how
// long the exchange had run, which tells the two time limits apart.
std::string FailureReason(std::exception_ptr error, const std::string& host, const ExchangeLimits& limits,
                          std::chrono::steady_clock::duration elapsed);

// A count with its thousands set apart by blanks: "10 000".
std::string GroupedCount(std::size_t count);
