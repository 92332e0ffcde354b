#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "demo-servers/demogameserver.h"

// Which game servers misbehave, and how. Servers are numbered from 1 in the
// order they are listed.
struct GameAnswerChoice {
    GameAnswer forAll = GameAnswer::Complete;
    std::map<std::size_t, GameAnswer> byNumber;

    GameAnswer For(std::size_t number) const;
    // Takes "NUMBER=KIND" or "all=KIND"; throws ServiceError otherwise.
    void Add(std::string_view choice);
};

// The game servers behind a list's lines, each listening on the address and
// port its line gives. A line that names no loopback address, or whose port
// is taken, gets no server; problems() tells why.
class DemoGameServers {
public:
    DemoGameServers(const std::vector<std::string>& lines, const GameAnswerChoice& answers, std::size_t maxServers);

    std::size_t size() const { return servers_.size(); }
    const DemoGameServer& server(std::size_t i) const { return *servers_[i]; }
    const std::vector<std::string>& problems() const { return problems_; }
    void stop();

private:
    std::vector<std::unique_ptr<DemoGameServer>> servers_;
    std::vector<std::string> problems_;
};
