#include "query/queryoptions.h"

#include "browse/listserver.h"
#include "platform/codepage/codepagetext.h"
#include "serverinfo/serverinfoquery.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>

namespace {

// Versions are six characters wide ("1.21  ", "1.24 x"); people type "1.21".
constexpr std::size_t VersionWidth = 6;
constexpr char DefaultVersion[] = "1.24  ";

const char* const Description =
    "Asks the servers of Zarn Tumblewick 2 from a terminal.\n"
    "\n"
    "Commands:\n"
    "  list [HOST]     The running game servers, one per line: name, type, version,\n"
    "                  mode, players, uptime, ip and port (and with --ping the\n"
    "                  distance), separated by tabs. HOST is the list server\n"
    "                  (default: the one chosen in the settings).\n"
    "  info HOST:PORT  The level of the game server at HOST:PORT on the first line,\n"
    "                  then its players, one per line.\n"
    "\n"
    "Exit status: 0 done, 1 the game server did not answer, 2 bad input,\n"
    "3 list server unreachable, 4 distances cannot be measured.";

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

}  // namespace

QueryRequest ParseQueryArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON document (UTF-8) with the same fields instead."));
    const QCommandLineOption ping(QStringLiteral("ping"),
                                  QStringLiteral("list: add each server's distance, from one echo request per "
                                                 "server, all sent together."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("list: the list server's port (default %1).").arg(ListServerPort),
                                  QStringLiteral("port"));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("list: take the list server from <file> (default: $QUIMBREL_INI, else "
                       "$XDG_CONFIG_HOME/Quimbrel.ini)."),
        QStringLiteral("file"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("info: the server's game version, as the list shows it "
                                                    "(\"1.21\", \"1.24\", \"1.24 x\"; default 1.24)."),
                                     QStringLiteral("version"));
    parser.addOptions({json, ping, port, settings, version});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list or info."),
                                 QStringLiteral("list [HOST] | info HOST:PORT"));

    if (!parser.parse(arguments))
        return UsageError{Text(parser.errorText())};
    if (parser.isSet(help))
        parser.showHelp(0);

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return UsageError{"no command given: list or info"};
    const QString command = positional.first();
    const auto onlyFor = [&](const QCommandLineOption& option, const char* forCommand) -> std::optional<UsageError> {
        if (!parser.isSet(option))
            return std::nullopt;
        return UsageError{"--" + Text(option.names().first()) + " is an option of " + forCommand + " only"};
    };

    if (command == QLatin1String("list")) {
        if (positional.size() > 2)
            return UsageError{"list takes one list server at most"};
        if (auto error = onlyFor(version, "info"))
            return *error;
        ListRequest request;
        if (positional.size() == 2) {
            request.host = Text(positional[1]);
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
        request.ping = parser.isSet(ping);
        request.json = parser.isSet(json);
        return request;
    }

    if (command == QLatin1String("info")) {
        if (positional.size() != 2)
            return UsageError{"info takes one game server, as HOST:PORT"};
        for (const QCommandLineOption* listOption : {&ping, &port, &settings})
            if (auto error = onlyFor(*listOption, "list"))
                return *error;
        std::optional<InfoRequest> request = ParseServerAddress(Text(positional[1]));
        if (!request)
            return UsageError{"not a game server address (HOST:PORT): " + Text(positional[1])};
        // Game texts are in the game's code page.
        request->version =
            parser.isSet(version) ? Utf16ToAnsi(parser.value(version).toStdU16String()) : DefaultVersion;
        if (request->version.size() > VersionWidth)
            return UsageError{"a game version has six characters at most: " + Text(parser.value(version))};
        request->version.resize(VersionWidth, ' ');
        request->json = parser.isSet(json);
        return *request;
    }

    return UsageError{"unknown command: " + Text(command) + " (list or info)"};
}
