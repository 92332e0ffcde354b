#include "demo-servers/demolistserver.h"

#include <array>
#include <chrono>
#include <utility>

namespace {

struct NamedAnswer {
    ListAnswer answer;
    std::string_view name;
};

constexpr std::array<NamedAnswer, 7> AnswerNames{{
    {ListAnswer::Complete, "complete"},
    {ListAnswer::Silent, "silent"},
    {ListAnswer::NeverClose, "never-close"},
    {ListAnswer::CloseMidAnswer, "close-mid-answer"},
    {ListAnswer::ResetMidAnswer, "reset-mid-answer"},
    {ListAnswer::Endless, "endless"},
    {ListAnswer::Trickle, "trickle"},
}};

// Misbehaving connections are held at most this long, so a forgotten client
// cannot keep a handler thread for ever.
constexpr auto MaxHold = std::chrono::minutes(10);
// An endless answer ends after this much all the same.
constexpr std::size_t MaxEndlessBytes = std::size_t{1} << 30;
// A trickling answer sends one byte per this pause.
constexpr auto TricklePause = std::chrono::milliseconds(50);

}  // namespace

ListAnswer ListAnswerFromName(std::string_view name)
{
    for (const NamedAnswer& entry : AnswerNames)
        if (entry.name == name)
            return entry.answer;
    throw ServiceError("unknown answer \"" + std::string(name) + "\"");
}

std::string_view ListAnswerName(ListAnswer answer)
{
    for (const NamedAnswer& entry : AnswerNames)
        if (entry.answer == answer)
            return entry.name;
    return "?";
}

std::string ListAnswerBytes(const std::vector<std::string>& lines)
{
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

DemoListServer::DemoListServer(const std::string& bindAddress, std::uint16_t port, std::vector<std::string> lines,
                               ListAnswer answer)
    : bytes_(ListAnswerBytes(lines)),
      lineCount_(lines.size()),
      answer_(answer),
      service_(bindAddress, port, [this](ServiceConnection& connection) { serve(connection); })
{
}

void DemoListServer::serve(ServiceConnection& connection) const
{
    const std::string_view all = bytes_;
    const std::string_view firstHalf = all.substr(0, all.size() / 2);
    switch (answer_) {
    case ListAnswer::Complete:
        connection.send(all);
        break;
    case ListAnswer::Silent:
        connection.holdOpen(MaxHold);
        break;
    case ListAnswer::NeverClose:
        if (connection.send(all))
            connection.holdOpen(MaxHold);
        break;
    case ListAnswer::CloseMidAnswer:
        connection.send(firstHalf);
        break;
    case ListAnswer::ResetMidAnswer:
        if (connection.send(firstHalf))
            connection.reset();
        break;
    case ListAnswer::Endless:
        if (all.empty()) {
            connection.holdOpen(MaxHold);
            break;
        }
        for (std::size_t sent = 0; sent < MaxEndlessBytes && connection.send(all); sent += all.size()) {
        }
        break;
    case ListAnswer::Trickle:
        for (std::size_t at = 0; at < all.size() && connection.send(all.substr(at, 1)); ++at)
            connection.holdOpen(TricklePause);  // returns early once the client has left
        break;
    }
    // Leaving closes the connection in an orderly way (unless it was reset).
}
