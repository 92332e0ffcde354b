#include "query/queryoptions.h"

#include "browse/listserver.h"
#include "platform/codepage/codepagetext.h"
#include "serverinfo/serverinfoquery.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>

#include <array>

namespace {

// Versions are six characters wide ("1.21  ", "1.24 x"); people type "1.21".
constexpr std::size_t VersionWidth = 6;
constexpr char DefaultVersion[] = "1.24  ";
constexpr int MostEchoes = 1000;

const char* const Description =
    "Asks the servers of Zarn Tumblewick 2 from a terminal.\n"
    "\n"
    "Commands:\n"
    "  list [HOST]     The running game servers, one per line, in tab-separated\n"
    "                  columns: name, type, version, mode, players, uptime, ip,\n"
    "                  port; with --ping also distance; with --count also min, avg\n"
    "                  and max (ms) and loss (%). HOST is the list server\n"
    "                  (default: the one chosen in the settings).\n"
    "  info HOST:PORT  The level of the game server at HOST:PORT on the first line,\n"
    "                  then its players, one per line.\n"
    "\n"
    "Exit status: 0 done, 1 the game server did not answer (or another failure),\n"
    "2 bad input, 3 list server unreachable, 4 listed without distances (echo\n"
    "requests cannot be sent), 5 the list server sent more than 10 000 servers,\n"
    "6 find found nobody.";

struct SortName {
    const char* name;
    ServerOrder order;
};
constexpr std::array<SortName, 4> SortNames{{{"name", ServerOrder::Name},
                                              {"players", ServerOrder::Players},
                                              {"distance", ServerOrder::Distance},
                                              {"uptime", ServerOrder::Uptime}}};

std::string Text(const QString& text)
{
    return text.toStdString();
}

// Splits "host:port" at its last colon.
std::optional<InfoRequest> ParseServerAddress(const std::string& text)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    const std::optional<std::uint16_t> port = ParseGamePort(std::string_view(text).substr(colon + 1));
    if (!port)
        return std::nullopt;
    InfoRequest request;
    request.host = text.substr(0, colon);
    request.port = *port;
    return request;
}

// A game version as typed, in the game's code page and padded to its width.
std::variant<std::string, UsageError> GameVersionText(const QString& typed)
{
    std::string version = Utf16ToAnsi(typed.toStdU16String());
    if (version.size() > VersionWidth)
        return UsageError{"a game version has six characters at most: " + Text(typed)};
    version.resize(VersionWidth, ' ');
    return version;
}

// The list server that list and find ask: HOST when given, --port and
// --settings.
template <typename Request>
std::optional<UsageError> ReadListServer(const QCommandLineParser& parser, const QCommandLineOption& port,
                                         const QCommandLineOption& settings, const QString* host, Request& request)
{
    if (host) {
        request.host = Text(*host);
        if (request.host->empty())
            return UsageError{"the list server's name is empty"};
    }
    request.port = ListServerPort;
    if (parser.isSet(port)) {
        const std::optional<std::uint16_t> number = ParseGamePort(Text(parser.value(port)));
        if (!number)
            return UsageError{"--port needs a number from 1 to 65535"};
        request.port = *number;
    }
    if (parser.isSet(settings))
        request.settingsPath = QFile::encodeName(parser.value(settings)).toStdString();
    return std::nullopt;
}

}  // namespace

QueryRequest ParseQueryArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption toolVersion = parser.addVersionOption();
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON document (UTF-8) instead, with typed fields beside "
                                                 "the texts."));
    const QCommandLineOption ping(QStringLiteral("ping"),
                                  QStringLiteral("list: add each server's distance, from one echo request per "
                                                 "server, all sent together."));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("list: send <n> echo requests per server, a second apart, and "
                                                  "add min, avg, max and loss (implies --ping)."),
                                   QStringLiteral("n"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("list, find: the list server's port (default %1).").arg(ListServerPort),
                                  QStringLiteral("port"));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("list, find: take the list server and the game executables from <file> (default: "
                       "$QUIMBREL_INI, else $XDG_CONFIG_HOME/Quimbrel.ini)."),
        QStringLiteral("file"));
    const QCommandLineOption gameVersion(
        {QStringLiteral("g"), QStringLiteral("game-version")},
        QStringLiteral("info: the server's game version, as the list shows it (\"1.21\", \"1.24\", \"1.24 x\"; "
                       "default 1.24). list: only servers of this version."),
        QStringLiteral("version"));
    const QCommandLineOption sort(QStringLiteral("sort"),
                                  QStringLiteral("list: sort by name (A to Z), players (most first), distance "
                                                 "(nearest first; needs --ping) or uptime (longest first); "
                                                 "servers without the value come last."),
                                  QStringLiteral("key"));
    const QCommandLineOption joinable(QStringLiteral("joinable"),
                                      QStringLiteral("list: only servers the window lets you join (not private, "
                                                     "with a game executable for their version)."));
    const QCommandLineOption notEmpty(QStringLiteral("not-empty"),
                                      QStringLiteral("list: only servers with players."));
    const QCommandLineOption notFull(QStringLiteral("not-full"),
                                     QStringLiteral("list: only servers with a free place."));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("list: only servers whose name contains <text>, in any letter "
                                                 "case."),
                                  QStringLiteral("text"));
    parser.addOptions({json, ping, count, port, settings, gameVersion, sort, joinable, notEmpty, notFull, name});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list, info or find."),
                                 QStringLiteral("list [HOST] | info HOST:PORT | find [NAME] [HOST]"));

    if (!parser.parse(arguments))
        return UsageError{Text(parser.errorText())};
    if (parser.isSet(help))
        parser.showHelp(0);

    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(toolVersion)) {
        if (!positional.isEmpty())
            return UsageError{"--version prints this program's version; a server's game version is "
                              "--game-version"};
        parser.showVersion();
    }
    if (positional.isEmpty())
        return UsageError{"no command given: list, info or find"};
    const QString command = positional.first();
    const auto onlyFor = [&](const QCommandLineOption& option, const char* forCommand) -> std::optional<UsageError> {
        if (!parser.isSet(option))
            return std::nullopt;
        return UsageError{"--" + Text(option.names().last()) + " is an option of " + forCommand + " only"};
    };

    if (command == QLatin1String("list")) {
        if (positional.size() > 2)
            return UsageError{"list takes one list server at most"};
        ListRequest request;
        if (auto error = ReadListServer(parser, port, settings, positional.size() == 2 ? &positional[1] : nullptr,
                                        request))
            return *error;
        request.ping = parser.isSet(ping) || parser.isSet(count);
        if (parser.isSet(count)) {
            bool isNumber = false;
            const int echoes = parser.value(count).toInt(&isNumber);
            if (!isNumber || echoes < 1 || echoes > MostEchoes)
                return UsageError{"--count needs a number from 1 to " + std::to_string(MostEchoes)};
            request.echoCount = echoes;
        }
        if (parser.isSet(gameVersion)) {
            auto version = GameVersionText(parser.value(gameVersion));
            if (auto* error = std::get_if<UsageError>(&version))
                return *error;
            request.filter.gameVersion = std::get<std::string>(version);
        }
        if (parser.isSet(sort)) {
            const QString key = parser.value(sort);
            const auto known = std::ranges::find_if(SortNames, [&](const SortName& s) { return key == s.name; });
            if (known == SortNames.end())
                return UsageError{"--sort takes name, players, distance or uptime"};
            request.order = known->order;
            if (request.order == ServerOrder::Distance && !request.ping)
                return UsageError{"--sort distance needs --ping"};
        }
        request.filter.joinableOnly = parser.isSet(joinable);
        request.filter.notEmpty = parser.isSet(notEmpty);
        request.filter.notFull = parser.isSet(notFull);
        if (parser.isSet(name))
            request.filter.nameContains = parser.value(name);
        request.json = parser.isSet(json);
        return request;
    }

    if (command == QLatin1String("info")) {
        if (positional.size() != 2)
            return UsageError{"info takes one game server, as HOST:PORT"};
        for (const QCommandLineOption* listOption :
             {&ping, &count, &port, &settings, &sort, &joinable, &notEmpty, &notFull, &name})
            if (auto error = onlyFor(*listOption, "list"))
                return *error;
        std::optional<InfoRequest> request = ParseServerAddress(Text(positional[1]));
        if (!request)
            return UsageError{"not a game server address (HOST:PORT): " + Text(positional[1])};
        // Game texts are in the game's code page.
        auto version = GameVersionText(parser.isSet(gameVersion) ? parser.value(gameVersion)
                                                                 : QString::fromLatin1(DefaultVersion));
        if (auto* error = std::get_if<UsageError>(&version))
            return *error;
        request->version = std::get<std::string>(version);
        request->json = parser.isSet(json);
        return *request;
    }

    if (command == QLatin1String("find")) {
        if (positional.size() > 3)
            return UsageError{"find takes a player's name and one list server at most"};
        for (const QCommandLineOption* listOption :
             {&ping, &count, &gameVersion, &sort, &joinable, &notEmpty, &notFull, &name})
            if (auto error = onlyFor(*listOption, "list"))
                return *error;
        FindRequest request;
        if (positional.size() >= 2)
            request.name = positional[1];
        if (auto error = ReadListServer(parser, port, settings, positional.size() == 3 ? &positional[2] : nullptr,
                                        request))
            return *error;
        request.json = parser.isSet(json);
        return request;
    }

    return UsageError{"unknown command: " + Text(command) + " (list, info or find)"};
}
