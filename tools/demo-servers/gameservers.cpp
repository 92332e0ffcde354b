#include "demo-servers/gameservers.h"

#include <charconv>

#include "demo-servers/samplegames.h"

GameAnswer GameAnswerChoice::For(std::size_t number) const
{
    const auto chosen = byNumber.find(number);
    return chosen != byNumber.end() ? chosen->second : forAll;
}

void GameAnswerChoice::Add(std::string_view choice)
{
    const std::size_t equals = choice.find('=');
    if (equals == std::string_view::npos)
        throw ServiceError("a game answer is chosen as NUMBER=KIND or all=KIND, not \"" + std::string(choice) + "\"");
    const std::string_view which = choice.substr(0, equals);
    const GameAnswer answer = GameAnswerFromName(choice.substr(equals + 1));
    if (which == "all") {
        forAll = answer;
        return;
    }
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(which.data(), which.data() + which.size(), number);
    if (which.empty() || error != std::errc() || end != which.data() + which.size() || number == 0)
        throw ServiceError("game servers are numbered from 1, not \"" + std::string(which) + "\"");
    byNumber[number] = answer;
}

DemoGameServers::DemoGameServers(const std::vector<std::string>& lines, const GameAnswerChoice& answers,
                                 std::size_t maxServers)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t number = i + 1;
        if (servers_.size() >= maxServers) {
            problems_.push_back("servers from number " + std::to_string(number) + " on: only " +
                                std::to_string(maxServers) + " game servers are run");
            break;
        }
        std::optional<GameServerSetup> setup = GameServerForLine(lines[i], i);
        if (!setup) {
            problems_.push_back("server " + std::to_string(number) + ": no loopback address and port");
            continue;
        }
        setup->answer = answers.For(number);
        try {
            servers_.push_back(std::make_unique<DemoGameServer>(std::move(*setup)));
        } catch (const ServiceError& error) {
            problems_.push_back("server " + std::to_string(number) + ": " + error.what());
        }
    }
}

void DemoGameServers::stop()
{
    for (const auto& server : servers_)
        server->stop();
}
