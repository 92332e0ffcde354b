#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "demo-servers/tcpservice.h"

// How a game server answers the server-info exchange. Everything but
// Complete is a misbehaving server, for trying out how a client copes.
enum class GameAnswer {
    Complete,             // the level answer, then the player answer
    Silent,               // reads nothing, answers nothing, keeps the connection open
    CloseAfterLevel,      // the level answer, then an orderly close
    ShortLevel,           // a level answer of 4 bytes, too short to hold the name's length
    LevelLength0,         // a level answer of only its length byte, holding 0
    LevelLength1,         // a level answer of only its length byte, holding 1
    PlayersLength0,       // a player answer of only its length byte, holding 0
    PlayersLength1,       // a player answer of only its length byte, holding 1
    UnterminatedPlayers,  // the player answer without its final zero byte
    ResetAfterVersion,    // reads the version packet, then drops the connection with a reset
};

// Parses "complete", "silent", "close-after-level", "short-level",
// "level-length-0", "level-length-1", "players-length-0", "players-length-1",
// "unterminated-players" or "reset-after-version"; throws ServiceError
// otherwise.
GameAnswer GameAnswerFromName(std::string_view name);
std::string_view GameAnswerName(GameAnswer answer);
// All the names above, separated by ", ".
std::string GameAnswerNames();

// One game server as the demo runs it.
struct GameServerSetup {
    std::string address;  // in 127.0.0.0/8
    std::uint16_t port = 0;
    std::string version = "1.24  ";  // six characters, as listed
    std::string levelName;
    std::vector<std::string> players;  // without the client that asks
    GameAnswer answer = GameAnswer::Complete;
};

// The server side of the exchange, as bytes. The level answer carries the
// byte the client must send back; the player answer lists the players and,
// last, the client itself, as a game server counts everyone connected.
// Players that do not fit the 255 bytes of a packet are left out.
std::string LevelAnswerBytes(std::uint8_t echoByte, std::string_view levelName);
std::string PlayerAnswerBytes(const std::vector<std::string>& players, std::string_view clientName);

// A game server: on every connection it reads the client's version packet,
// sends its level, reads the client's name packet and sends its players,
// unless told to misbehave. A client that presents another game version or
// does not send the level answer's byte back is disconnected. Runs until
// stop() or until destroyed.
class DemoGameServer {
public:
    explicit DemoGameServer(GameServerSetup setup);

    const std::string& address() const { return service_.address(); }
    std::uint16_t port() const { return service_.port(); }
    const GameServerSetup& setup() const { return setup_; }
    std::size_t connectionsAccepted() const { return service_.connectionsAccepted(); }
    void stop() { service_.stop(); }

private:
    void serve(ServiceConnection& connection);
    bool AcceptsVersionPacket(std::string_view packet) const;

    GameServerSetup setup_;
    std::atomic<std::uint8_t> nextEchoByte_{0x5A};
    TcpService service_;  // last: its threads use the members above
};
