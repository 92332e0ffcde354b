#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "demo-servers/tcpservice.h"

// How the list server answers a connection. Everything but Complete is a
// misbehaving server, for trying out how a client copes.
enum class ListAnswer {
    Complete,        // all lines, then an orderly close
    Silent,          // sends nothing and keeps the connection open
    NeverClose,      // all lines, then keeps the connection open
    CloseMidAnswer,  // the first half of the bytes, then an orderly close
    ResetMidAnswer,  // the first half of the bytes, then a reset
    Endless,         // the lines again and again until the client leaves
    Trickle,         // all lines, one byte every 50 ms, then an orderly close
};

// Parses "complete", "silent", "never-close", "close-mid-answer",
// "reset-mid-answer", "endless" or "trickle"; throws ServiceError otherwise.
ListAnswer ListAnswerFromName(std::string_view name);
std::string_view ListAnswerName(ListAnswer answer);

// Every line followed by CR LF: what a list server sends.
std::string ListAnswerBytes(const std::vector<std::string>& lines);

// A list server: on every connection it sends its lines, each ended by
// CR LF, and closes, without reading anything. Runs until stop() or until
// destroyed.
class DemoListServer {
public:
    DemoListServer(const std::string& bindAddress, std::uint16_t port, std::vector<std::string> lines,
                   ListAnswer answer = ListAnswer::Complete);

    const std::string& address() const { return service_.address(); }
    std::uint16_t port() const { return service_.port(); }
    std::size_t lineCount() const { return lineCount_; }
    ListAnswer answer() const { return answer_; }
    std::size_t connectionsAccepted() const { return service_.connectionsAccepted(); }
    void stop() { service_.stop(); }

private:
    void serve(ServiceConnection& connection) const;

    std::string bytes_;
    std::size_t lineCount_;
    ListAnswer answer_;
    TcpService service_;  // last: its threads use the members above
};
