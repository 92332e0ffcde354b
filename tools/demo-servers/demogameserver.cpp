#include "demo-servers/demogameserver.h"

#include <array>
#include <chrono>
#include <utility>

namespace {

struct NamedAnswer {
    GameAnswer answer;
    std::string_view name;
};

constexpr std::array<NamedAnswer, 10> AnswerNames{{
    {GameAnswer::Complete, "complete"},
    {GameAnswer::Silent, "silent"},
    {GameAnswer::CloseAfterLevel, "close-after-level"},
    {GameAnswer::ShortLevel, "short-level"},
    {GameAnswer::LevelLength0, "level-length-0"},
    {GameAnswer::LevelLength1, "level-length-1"},
    {GameAnswer::PlayersLength0, "players-length-0"},
    {GameAnswer::PlayersLength1, "players-length-1"},
    {GameAnswer::UnterminatedPlayers, "unterminated-players"},
    {GameAnswer::ResetAfterVersion, "reset-after-version"},
}};

constexpr std::size_t MaxPacket = 255;
constexpr std::size_t VersionPacketSize = 9;
constexpr std::size_t NamePacketSize = 30;
constexpr std::size_t ClientNameOffset = 9;
constexpr std::size_t ClientNameSize = 21;

// How long a client may take to send its next packet.
constexpr auto ClientPatience = std::chrono::seconds(60);
// Misbehaving or finished connections are held at most this long, so a
// forgotten client cannot keep a handler thread for ever.
constexpr auto MaxHold = std::chrono::minutes(10);

// The seven bytes before each name: slot, team, character and colours. Our
// clients do not read them; they only make the records look lived in.
std::string RecordHeader(std::size_t slot)
{
    constexpr char Characters[] = {55, 89, 61};
    const auto byte = [](std::size_t value) { return static_cast<char>(value & 0xFF); };
    return {byte(slot), byte(slot % 2 + 1), Characters[slot % 3], byte(8 * slot % 80),
            byte((8 * slot + 16) % 80), byte((8 * slot + 40) % 80), '\x01'};
}

std::string WithLengthByte(std::string body)
{
    body.insert(body.begin(), static_cast<char>(body.size() + 1));
    return body;
}

}  // namespace

GameAnswer GameAnswerFromName(std::string_view name)
{
    for (const NamedAnswer& entry : AnswerNames)
        if (entry.name == name)
            return entry.answer;
    throw ServiceError("unknown game answer \"" + std::string(name) + "\"; known: " + GameAnswerNames());
}

std::string_view GameAnswerName(GameAnswer answer)
{
    for (const NamedAnswer& entry : AnswerNames)
        if (entry.answer == answer)
            return entry.name;
    return "?";
}

std::string GameAnswerNames()
{
    std::string names;
    for (const NamedAnswer& entry : AnswerNames)
        names += (names.empty() ? "" : ", ") + std::string(entry.name);
    return names;
}

std::string LevelAnswerBytes(std::uint8_t echoByte, std::string_view levelName)
{
    // Length byte, kind, sequence, echo byte, name length, name, then the
    // time limit and round count, which our clients do not read.
    constexpr std::size_t fixedBytes = 5 + 2;
    const std::string_view name = levelName.substr(0, MaxPacket - fixedBytes);
    std::string body{'\x0F', '\x02', static_cast<char>(echoByte), static_cast<char>(name.size())};
    body += name;
    body += {'\x0A', '\x03'};
    return WithLengthByte(std::move(body));
}

std::string PlayerAnswerBytes(const std::vector<std::string>& players, std::string_view clientName)
{
    const auto record = [](std::size_t slot, std::string_view name) {
        std::string bytes = RecordHeader(slot);
        bytes += name;
        bytes += '\0';
        return bytes;
    };
    const std::string last = record(players.size(), clientName);
    std::string body{'\x0E', '\x03'};
    for (std::size_t slot = 0; slot < players.size(); ++slot) {
        std::string next = record(slot, players[slot]);
        if (1 + body.size() + next.size() + last.size() > MaxPacket)
            break;
        body += next;
    }
    body += last;
    return WithLengthByte(std::move(body));
}

DemoGameServer::DemoGameServer(GameServerSetup setup)
    : setup_(std::move(setup)),
      service_(setup_.address, setup_.port, [this](ServiceConnection& connection) { serve(connection); })
{
}

bool DemoGameServer::AcceptsVersionPacket(std::string_view packet) const
{
    // A 1.21 server speaks only with 1.21 clients, every other with 1.24 ones.
    const std::string_view version = setup_.version == "1.21  " ? "21  " : "24  ";
    return packet.substr(0, 4) == std::string_view("\x09\x0F\x01\x04", 4) && packet.substr(4, 4) == version
        && packet[8] == '\x01';
}

void DemoGameServer::serve(ServiceConnection& connection)
{
    const GameAnswer answer = setup_.answer;
    if (answer == GameAnswer::Silent) {
        connection.holdOpen(MaxHold);
        return;
    }
    std::string versionPacket;
    if (!connection.receive(VersionPacketSize, versionPacket, ClientPatience) || !AcceptsVersionPacket(versionPacket))
        return;
    if (answer == GameAnswer::ResetAfterVersion) {
        connection.reset();
        return;
    }

    const std::uint8_t echoByte = nextEchoByte_.fetch_add(37);
    std::string levelAnswer = LevelAnswerBytes(echoByte, setup_.levelName);
    switch (answer) {
    case GameAnswer::ShortLevel:
        levelAnswer = std::string{'\x04', '\x0F', '\x02', static_cast<char>(echoByte)};
        break;
    case GameAnswer::LevelLength0:
        levelAnswer = std::string(1, '\0');
        break;
    case GameAnswer::LevelLength1:
        levelAnswer = std::string(1, '\x01');
        break;
    default:
        break;
    }
    if (!connection.send(levelAnswer))
        return;
    if (answer == GameAnswer::CloseAfterLevel)
        return;

    std::string namePacket;
    if (!connection.receive(NamePacketSize, namePacket, ClientPatience) || namePacket[0] != '\x1D'
        || namePacket[1] != '\x0E' || static_cast<std::uint8_t>(namePacket[3]) != echoByte)
        return;
    const std::string_view clientName = std::string_view(namePacket).substr(ClientNameOffset, ClientNameSize);

    std::string playerAnswer = PlayerAnswerBytes(setup_.players, clientName);
    switch (answer) {
    case GameAnswer::PlayersLength0:
        playerAnswer = std::string(1, '\0');
        break;
    case GameAnswer::PlayersLength1:
        playerAnswer = std::string(1, '\x01');
        break;
    case GameAnswer::UnterminatedPlayers:
        playerAnswer.pop_back();
        playerAnswer[0] = static_cast<char>(playerAnswer.size());
        break;
    default:
        break;
    }
    if (connection.send(playerAnswer))
        connection.holdOpen(MaxHold);  // until the client leaves
}
