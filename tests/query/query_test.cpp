// The quimbrel-query program, run as a user runs it, against our demo list
// and game servers on loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "demo-servers/demogameserver.h"
#include "demo-servers/demolistserver.h"
#include "demo-servers/samplelist.h"
#include "net/echopermission.h"
#include "net/icmp.h"
#include "netlab.h"
#include "runquery.h"
#include "support/timescale.h"

using namespace std::chrono_literals;

namespace {

constexpr char Loopback[] = "127.0.0.1";
// How late the test network's slow host answers.
constexpr int SlowHostMs = 47;

// The exit statuses scripts rely on.
constexpr int GameServerFailed = 1;
constexpr int BadInput = 2;
constexpr int ListServerUnreachable = 3;
constexpr int ListedWithoutDistances = 4;
constexpr int ListTooLong = 5;

// In the game's code page: "\xE9" is e acute, "\x80" the euro sign; "|"
// marks colours and "\x1B" starts a terminal control sequence.
const std::vector<std::string> ListLines = {
    "127.0.0.5:10052 e1 public Battle 1.24   3725 3/8 Caf\xE9 |R|ed \x80",
    "127.0.0.6:10060 e2 private Race 1.24 x 59 1/4 Sly\x1B[2J name",
    "127.0.0.7:10053 e3 public Coop 1.21   0 0/16 Plain",
    "127.0.0.8:x e4 public Coop 1.30   zz Odd",
    "127.0.0.9:10054 e5 public Race 1.24   86399 8/8 Full House",
};

// The names of the servers a run printed as lines, in their order.
QStringList Names(const QueryRun& run)
{
    QStringList names;
    for (const QString& line : run.Lines())
        names << line.section(QLatin1Char('\t'), 0, 0);
    return names;
}

// The servers of a JSON document that pass a test, as jq's select() would give them.
QStringList NamesWhere(const QJsonObject& document, const std::function<bool(const QJsonObject&)>& test)
{
    QStringList names;
    for (const QJsonValue& server : document["servers"].toArray())
        if (test(server.toObject()))
            names << server.toObject()["name"].toString();
    return names;
}

QString Port(std::uint16_t port)
{
    return QString::number(port);
}

// A loopback port with nobody listening (free a moment ago).
std::uint16_t ClosedPort()
{
    TcpService probe(Loopback, 0, [](ServiceConnection&) {});
    const std::uint16_t port = probe.port();
    probe.stop();
    return port;
}

GameServerSetup Bramble(GameAnswer answer = GameAnswer::Complete)
{
    GameServerSetup setup;
    setup.address = Loopback;
    setup.version = "1.21  ";
    setup.levelName = "Bramble \x80 Keep";
    setup.players = {"|R|ed|Fox", "Pip", "\xE9lan"};
    setup.answer = answer;
    return setup;
}

// `list` of the servers above, with settings in which only the 1.24 game is set up.
QueryRun ListOfFive(const QStringList& options)
{
    DemoListServer server(Loopback, 0, ListLines);
    QTemporaryDir folder;
    const QString settings = folder.filePath("Quimbrel.ini");
    std::ofstream(settings.toStdString()) << "[Config]\r\nZarn124=C:\\Zarn\\zarn2.exe\r\n";
    return RunQuery(QStringList{"list", Loopback, "--port", Port(server.port()), "--settings", settings} + options);
}

// The fields of a JSON object that are named in expected.
void ExpectFields(const QJsonObject& object, const QJsonObject& expected)
{
    for (auto field = expected.begin(); field != expected.end(); ++field)
        EXPECT_EQ(object[field.key()], field.value()) << field.key().toStdString();
}

bool CanSendEchoes()
{
    try {
        TICMP probe;
        return true;
    } catch (const TICMPException&) {
        return false;
    }
}

}  // namespace

TEST(QueryList, PrintsTheColumnsUnpaddedAsLinesAndTypedAsJson)
{
    const QueryRun plain = ListOfFive({});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    // Texts in UTF-8, colour markers gone, control characters defused, the
    // table's padding of version and uptime gone.
    EXPECT_EQ(plain.Lines(),
              QStringList({QString::fromUtf8("Caf\u00e9 Red \u20ac\tBattle\t1.24\tpublic\t3/8\t1:02:05\t"
                                             "127.0.0.5\t10052"),
                           "Sly?[2J name\tRace\t1.24 x\tprivate\t1/4\t0:00:59\t127.0.0.6\t10060",
                           "Plain\tCoop\t1.21\tpublic\t0/16\t0:00:00\t127.0.0.7\t10053",
                           "Odd\tCoop\t1.30\tpublic\tzz\t\t127.0.0.8\tx",
                           "Full House\tRace\t1.24\tpublic\t8/8\t23:59:59\t127.0.0.9\t10054"}));
    EXPECT_TRUE(plain.err.isEmpty());

    const QueryRun json = ListOfFive({"--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject document = json.Json();
    EXPECT_EQ(document["listServer"].toString(), Loopback);
    const QJsonArray servers = document["servers"].toArray();
    ASSERT_EQ(servers.size(), 5);
    EXPECT_EQ(servers[0].toObject(),
              QJsonObject({{"name", QString::fromUtf8("Caf\u00e9 Red \u20ac")}, {"type", "Battle"},
                           {"version", "1.24"}, {"versionText", "1.24  "}, {"mode", "public"}, {"players", 3},
                           {"maxPlayers", 8}, {"playersText", "3/8"}, {"uptime", "1:02:05"},
                           {"uptimeSeconds", 3725}, {"ip", "127.0.0.5"}, {"port", 10052}, {"portText", "10052"},
                           {"joinable", true}}));
    // Texts not of the usual form give nulls, never a wrong number.
    const QJsonValue none(QJsonValue::Null);
    ExpectFields(servers[3].toObject(), {{"players", none}, {"maxPlayers", none}, {"playersText", "zz"},
                                         {"uptimeSeconds", none}, {"port", none}, {"portText", "x"}});
    // JSON carries the text as it is; escaping is the reader's business.
    EXPECT_EQ(servers[1].toObject()["name"].toString(), "Sly\x1B[2J name");

    // Selections as a script writes them with jq.
    const QStringList bothOf124 = {QString::fromUtf8("Caf\u00e9 Red \u20ac"), "Full House"};
    EXPECT_EQ(NamesWhere(document, [](const QJsonObject& s) { return s["version"] == "1.24"; }), bothOf124);
    EXPECT_EQ(NamesWhere(document, [](const QJsonObject& s) { return s["joinable"].toBool(); }),
              QStringList({bothOf124[0], "Odd", "Full House"}));
    EXPECT_EQ(NamesWhere(document,
                         [](const QJsonObject& s) { return s["players"].toInt(-1) >= 1 && s["uptimeSeconds"].toInt() > 60; }),
              bothOf124);
}

TEST(QueryList, ChoosesAndSortsTheServersAsAsked)
{
    const QString cafe = QString::fromUtf8("Caf\u00e9 Red \u20ac"), sly = "Sly?[2J name", plainName = "Plain",
                  odd = "Odd", full = "Full House";
    const struct {
        QStringList options;
        QStringList names;
    } cases[] = {
        {{"--sort", "name"}, {cafe, full, odd, plainName, sly}},
        {{"--sort", "players"}, {full, cafe, sly, plainName, odd}},
        {{"--sort", "uptime"}, {full, cafe, sly, plainName, odd}},
        {{"--joinable"}, {cafe, odd, full}},
        {{"--not-empty"}, {cafe, sly, full}},
        {{"--not-full"}, {cafe, sly, plainName}},
        {{"-g", "1.24"}, {cafe, full}},
        {{"--game-version", "1.24 x"}, {sly}},
        {{"--name", QString::fromUtf8("CAF\u00c9")}, {cafe}},
        {{"--joinable", "--not-empty", "--sort", "name"}, {cafe, full}},
    };
    for (const auto& [options, names] : cases) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const QueryRun run = ListOfFive(options);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(Names(run), names);
    }
}

TEST(QueryList, AsksTheListServerChosenInTheSettings)
{
    DemoListServer server(Loopback, 0, ListLines);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string chosen = folder.filePath("Quimbrel.ini").toStdString();
    std::ofstream(chosen) << "[Config]\r\nListServer=LOCALHOST\r\n";
    const QueryRun run = RunQuery({"list", "--port", Port(server.port()), "--json"},
                                  {"QUIMBREL_INI=" + QString::fromStdString(chosen)});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.Json()["listServer"].toString(), "localhost");
    EXPECT_EQ(run.Json()["servers"].toArray().size(), 5);

    // A host the window does not offer is not used: the window's first list
    // server is, whose name never resolves here.
    const std::string other = folder.filePath("Other.ini").toStdString();
    std::ofstream(other) << "[Config]\r\nListServer=127.0.0.1\r\n";
    const QueryRun fallback =
        RunQuery({"list", "--port", Port(server.port()), "--settings", QString::fromStdString(other)});
    EXPECT_EQ(fallback.exitCode, ListServerUnreachable);
    EXPECT_TRUE(fallback.err.contains("list.tumblewick.invalid")) << fallback.err.toStdString();
}

TEST(QueryList, ListServerFailuresSayWhyWithTheirOwnStatus)
{
    DemoListServer tooLong(Loopback, 0, SampleServerLines(10001));
    const struct {
        std::uint16_t port;
        int exitCode;
        const char* reason;
    } cases[] = {
        {ClosedPort(), ListServerUnreachable, "connection refused"},
        {tooLong.port(), ListTooLong, "more than 10 000 servers"},
    };
    for (const auto& [port, exitCode, reason] : cases) {
        SCOPED_TRACE(reason);
        const QueryRun run = RunQuery({"list", Loopback, "--port", Port(port), "--json"});
        EXPECT_EQ(run.exitCode, exitCode);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.toStdString(), std::string("quimbrel-query: Error connecting to listserver\nquimbrel-query: ") + reason + "\n");
    }
}

TEST(QueryList, EchoesToAThousandServersGoTogether)
{
    if (!CanSendEchoes())
        GTEST_SKIP() << "echo requests cannot be sent here (needs root, CAP_NET_RAW or ping_group_range)";
    // Every sample server has a 127.x address of its own.
    DemoListServer server(Loopback, 0, SampleServerLines(1000));
    // Two echoes a second apart take a little over one second for them all.
    const QueryRun json = RunQuery({"list", Loopback, "--port", Port(server.port()), "--count", "2", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    EXPECT_GE(json.elapsed, 1s);
    EXPECT_LT(json.elapsed, Scaled(3s));
    const QJsonArray servers = json.Json()["servers"].toArray();
    ASSERT_EQ(servers.size(), 1000);
    for (const QJsonValue& value : servers) {
        const QJsonObject server = value.toObject();
        SCOPED_TRACE(server["ip"].toString().toStdString());
        ExpectFields(server, {{"sent", 2}, {"received", 2}, {"lossPercent", 0}});
        EXPECT_TRUE(server["minMs"].toDouble() <= server["avgMs"].toDouble()
                    && server["avgMs"].toDouble() <= server["maxMs"].toDouble());
        EXPECT_EQ(server["distanceText"].toString(), QString::number(server["distanceMs"].toInteger()) + " ms");
    }

    // As lines: the distance, then min, avg, max and loss of the one echo.
    const QueryRun plain = RunQuery({"list", Loopback, "--port", Port(server.port()), "--count", "1"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_LT(plain.elapsed, Scaled(2s));
    const QRegularExpression figures(QStringLiteral("^([^\t]*\t){8}([0-9]+) ms\t\\2\t\\2\t\\2\t0%$"));
    const QStringList lines = plain.Lines();
    ASSERT_EQ(lines.size(), 1000);
    for (const QString& line : lines)
        EXPECT_TRUE(figures.match(line).hasMatch()) << line.toStdString();
}

TEST(QueryList, PingWaitsForSilentServersAllAtOnce)
{
    std::string whyNot;
    const std::unique_ptr<NetworkNamespace> network = NetworkNamespace::Create(whyNot);
    if (!network)
        GTEST_SKIP() << whyNot;
    // In a network of the test's own where nobody answers echoes, each of
    // the 200 servers takes the whole second: only together do they fit.
    ASSERT_TRUE(network->WriteSysctl("ipv4/icmp_echo_ignore_all", "1"));
    std::unique_ptr<DemoListServer> server;
    network->Run([&] { server = std::make_unique<DemoListServer>(Loopback, 0, SampleServerLines(200)); });
    ASSERT_TRUE(server);

    const QueryRun run =
        RunQuery({"list", Loopback, "--port", Port(server->port()), "--ping", "--json"}, {}, network->Descriptor());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_GE(run.elapsed, 900ms);
    EXPECT_LT(run.elapsed, Scaled(2s));
    const QJsonArray servers = run.Json()["servers"].toArray();
    ASSERT_EQ(servers.size(), 200);
    for (const QJsonValue& value : servers) {
        EXPECT_EQ(value.toObject()["distanceText"].toString(), "too far");
        EXPECT_TRUE(value.toObject()["distanceMs"].isNull());
    }
}

TEST(QueryList, SortsByDistanceAndGivesTheFiguresOfSeveralEchoes)
{
    std::string whyNot;
    const std::unique_ptr<EchoLab> lab = EchoLab::Create(SlowHostMs, whyNot);
    if (!lab)
        GTEST_SKIP() << whyNot;
    std::vector<std::string> lines;
    for (const auto& [address, name] : {std::pair{LabAddress::Silent, "Silent"}, {LabAddress::Slow, "Slow"},
                                        {Loopback, "Near"}})
        lines.push_back(std::string(address) + ":10052 e public Coop 1.24   60 1/8 " + name);
    std::unique_ptr<DemoListServer> server;
    lab->Near().Run([&] { server = std::make_unique<DemoListServer>(Loopback, 0, lines); });
    ASSERT_TRUE(server);
    const QStringList list = {"list", Loopback, "--port", Port(server->port()), "--sort", "distance"};

    const QueryRun sorted = RunQuery(list + QStringList{"--ping"}, {}, lab->Near().Descriptor());
    ASSERT_EQ(sorted.exitCode, 0) << sorted.err.toStdString();
    EXPECT_EQ(Names(sorted), QStringList({"Near", "Slow", "Silent"}));

    // Three echoes a second apart: the silent host's last one times out after three seconds.
    const QueryRun counted = RunQuery(list + QStringList{"--count", "3", "--json"}, {}, lab->Near().Descriptor());
    ASSERT_EQ(counted.exitCode, 0) << counted.err.toStdString();
    EXPECT_GE(counted.elapsed, 2900ms);
    EXPECT_LT(counted.elapsed, Scaled(4s));
    const QJsonArray servers = counted.Json()["servers"].toArray();
    ASSERT_EQ(servers.size(), 3);
    const QJsonObject slow = servers[1].toObject();
    ExpectFields(slow, {{"name", "Slow"}, {"sent", 3}, {"received", 3}, {"lossPercent", 0}});
    const double min = slow["minMs"].toDouble(), avg = slow["avgMs"].toDouble(), max = slow["maxMs"].toDouble();
    EXPECT_TRUE(SlowHostMs <= min && min <= avg && avg <= max && max < SlowHostMs + 100) << min << avg << max;
    EXPECT_EQ(slow["distanceText"].toString(), QString::number(slow["distanceMs"].toInt()) + " ms");
    const QJsonValue none(QJsonValue::Null);
    ExpectFields(servers[2].toObject(), {{"name", "Silent"}, {"sent", 3}, {"received", 0}, {"lossPercent", 100},
                                         {"distanceText", "too far"}, {"distanceMs", none}, {"minMs", none},
                                         {"avgMs", none}, {"maxMs", none}});
}

TEST(QueryList, WithoutEchoPermissionTheListComesWithoutDistances)
{
    // A new network namespace admits no group to datagram echo sockets; without
    // CAP_NET_RAW raw ones are refused too. An ordinary user may be refused here already.
    std::string whyNot;
    const std::unique_ptr<NetworkNamespace> network = NetworkNamespace::Create(whyNot);
    if (!network && !EchoSocketsRefused())
        GTEST_SKIP() << "needs a network namespace of its own: " << whyNot;
    std::unique_ptr<DemoListServer> server;
    const auto startServer = [&] { server = std::make_unique<DemoListServer>(Loopback, 0, ListLines); };
    network ? network->Run(startServer) : startServer();
    ASSERT_TRUE(server);
    const int place = network ? network->Descriptor() : -1;
    const QStringList list = {"list", Loopback, "--port", Port(server->port()), "--ping", "--sort", "distance"};

    const QueryRun plain = RunQuery(list, {}, place, network != nullptr);
    EXPECT_EQ(plain.exitCode, ListedWithoutDistances);
    ASSERT_EQ(plain.Lines().size(), 5);
    for (const QString& line : plain.Lines())
        EXPECT_TRUE(line.count(QLatin1Char('\t')) == 8 && line.endsWith(QLatin1Char('\t'))) << line.toStdString();
    // One line says why and how to allow them.
    EXPECT_EQ(plain.err.count('\n'), 1) << plain.err.toStdString();
    EXPECT_TRUE(plain.err.contains("net.ipv4.ping_group_range") && plain.err.contains("cap_net_raw"));

    const QueryRun json = RunQuery(list + QStringList{"--json"}, {}, place, network != nullptr);
    EXPECT_EQ(json.exitCode, ListedWithoutDistances);
    EXPECT_EQ(NamesWhere(json.Json(), [](const QJsonObject& s) {
                  return s["distanceMs"].isNull() && s["distanceText"] == "";
              }).size(), 5);
}

TEST(QueryInfo, PrintsTheLevelAndThePlayersAsLinesAndAsJson)
{
    DemoGameServer game(Bramble());
    const QString address = QString(Loopback) + ":" + Port(game.port());
    // The server speaks only to clients of its own version.
    const QueryRun plain = RunQuery({"info", address, "--game-version", "1.21"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.Lines(), QStringList({QString::fromUtf8("Bramble \u20ac Keep"), "RedFox", "Pip",
                                          QString::fromUtf8("\u00e9lan")}));

    const QueryRun json = RunQuery({"info", address, "-g", "1.21", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject document = json.Json();
    EXPECT_EQ(document["server"].toString(), address);
    EXPECT_EQ(document["levelName"].toString(), QString::fromUtf8("Bramble \u20ac Keep"));
    EXPECT_EQ(document["playerNames"].toArray(),
              QJsonArray({"RedFox", "Pip", QString::fromUtf8("\u00e9lan")}));
    EXPECT_FALSE(document.contains("reason"));
}

TEST(QueryInfo, EachFailureSaysWhyAndJsonKeepsWhatWasRead)
{
    DemoGameServer silent(Bramble(GameAnswer::Silent));
    DemoGameServer closing(Bramble(GameAnswer::CloseAfterLevel));
    DemoGameServer shortLevel(Bramble(GameAnswer::ShortLevel));
    const QJsonValue none(QJsonValue::Null);
    const auto at = [](std::uint16_t port) { return QString(Loopback) + ":" + Port(port); };
    const struct {
        QString address;
        const char* version;
        const char* reason;
        QJsonValue levelName;
        std::chrono::milliseconds atLeast;
    } cases[] = {
        {at(ClosedPort()), "1.21", "connection refused", none, 0ms},
        {"nowhere.invalid:10052", "1.21", "unknown host nowhere.invalid", none, 0ms},
        // The window's limits: 5 s without a byte, 10 s for the whole exchange.
        {at(silent.port()), "1.21", "no answer within 5 s", none, 4500ms},
        {at(closing.port()), "1.21", "closed after the level answer", QString::fromUtf8("Bramble \u20ac Keep"), 0ms},
        // Presented as a client of another version, the server hangs up.
        {at(closing.port()), "1.24", "closed before the level answer", none, 0ms},
        {at(shortLevel.port()), "1.21", "the level answer is too short to read", none, 0ms},
    };
    for (const auto& [address, version, reason, levelName, atLeast] : cases) {
        SCOPED_TRACE(reason);
        const QueryRun run = RunQuery({"info", address, "-g", version, "--json"});
        EXPECT_EQ(run.exitCode, GameServerFailed);
        EXPECT_EQ(run.err.toStdString(), std::string("quimbrel-query: Error getting Playerlist\nquimbrel-query: ") + reason + "\n");
        const QJsonObject document = run.Json();
        EXPECT_EQ(document["levelName"], levelName);
        EXPECT_TRUE(document["playerNames"].isNull());
        EXPECT_EQ(document["reason"].toString(), reason);
        EXPECT_GE(run.elapsed, atLeast);
        EXPECT_LT(run.elapsed, Scaled(10500ms));
    }
    // Plain output shows the level as soon as it came.
    EXPECT_EQ(RunQuery({"info", at(closing.port()), "-g", "1.21"}).Lines(),
              QStringList({QString::fromUtf8("Bramble \u20ac Keep")}));
}

TEST(QueryFind, PrintsEachMatchAsItComesAndAllAsJson)
{
    GameServerSetup alpha = Bramble(), beta = Bramble(), hidden = Bramble();
    alpha.players = {"|T|oadstool", "Pip"};
    beta.players = {"toadSTOOL", "Bell\x07"};
    hidden.players = {"Toadstool"};
    DemoGameServer alphaGame(alpha), betaGame(beta), hiddenGame(hidden);
    const auto line = [](std::uint16_t port, const char* mode, const char* name) {
        return std::string(Loopback) + ":" + std::to_string(port) + " e " + mode + " Coop 1.21   59 2/8 " + name;
    };
    DemoListServer list(Loopback, 0,
                        {line(alphaGame.port(), "public", "Alpha"), line(ClosedPort(), "public", "Gone"),
                         line(hiddenGame.port(), "private", "Hidden"), line(betaGame.port(), "public", "Beta")});
    const QString alphaAt = QString(Loopback) + ":" + Port(alphaGame.port());
    const QString betaAt = QString(Loopback) + ":" + Port(betaGame.port());
    const struct {
        QString name;
        int exitCode;
        QStringList lines;  // sorted: servers answer in any order
    } cases[] = {
        {"TOAD", 0, {"Toadstool\tAlpha\t" + alphaAt + "\tBramble \u20ac Keep",
                     "toadSTOOL\tBeta\t" + betaAt + "\tBramble \u20ac Keep"}},
        {"", 0, {"Bell?\tBeta\t" + betaAt + "\tBramble \u20ac Keep", "Pip\tAlpha\t" + alphaAt + "\tBramble \u20ac Keep",
                 "Toadstool\tAlpha\t" + alphaAt + "\tBramble \u20ac Keep",
                 "toadSTOOL\tBeta\t" + betaAt + "\tBramble \u20ac Keep"}},
        {"nobody", 6, {}},
    };
    for (const auto& [name, exitCode, lines] : cases) {
        SCOPED_TRACE(name.toStdString());
        const QueryRun plain = RunQuery({"find", name, Loopback, "--port", Port(list.port())});
        EXPECT_EQ(plain.exitCode, exitCode) << plain.err.toStdString();
        QStringList printed = plain.Lines();
        printed.sort();
        EXPECT_EQ(printed, lines);
        // The private server is not asked, the closed one is told.
        EXPECT_TRUE(plain.err.contains("3 servers asked, 2 answered, 1 failed")) << plain.err.toStdString();

        const QueryRun json = RunQuery({"find", name, Loopback, "--port", Port(list.port()), "--json"});
        EXPECT_EQ(json.exitCode, exitCode);
        const QJsonObject document = json.Json();
        EXPECT_EQ(document["servers"].toObject(), QJsonObject({{"asked", 3}, {"answered", 2}, {"failed", 1}}));
        EXPECT_EQ(document["players"].toArray().size(), lines.size());
    }
    EXPECT_EQ(hiddenGame.connectionsAccepted(), 0u);
    const QueryRun json = RunQuery({"find", "pip", Loopback, "--port", Port(list.port()), "--json"});
    EXPECT_EQ(json.Json()["players"].toArray(),
              QJsonArray({QJsonObject({{"player", "Pip"}, {"server", "Alpha"}, {"address", alphaAt},
                                       {"ip", Loopback}, {"port", alphaGame.port()},
                                       {"level", QString::fromUtf8("Bramble \u20ac Keep")}})}));
}

TEST(QueryCommandLine, BadInputIsRefusedWithItsOwnStatus)
{
    const std::vector<QStringList> badLines = {
        {},
        {"servers"},
        {"--bogus", "list"},
        {"list", "a", "b"},
        {"list", "--port", "0"},
        {"list", "--port", "http"},
        {"list", "--version", "1.21"},
        {"info"},
        {"info", Loopback},
        {"info", ":10052"},
        {"info", "127.0.0.1:0"},
        {"info", "127.0.0.1:65536"},
        {"info", "127.0.0.1:10052", "--ping"},
        {"info", "127.0.0.1:10052", "--not-full"},
        {"info", "127.0.0.1:10052", "-g", "1.24 xx"},
        {"info", "127.0.0.1:10052", "--version", "1.21"},
        {"list", "--sort", "ping"}, {"list", "--sort", "distance"}, {"list", "--count", "0"},
        {"find", "toad", "a", "b"}, {"find", "toad", "--ping"}, {"find", "toad", "-g", "1.21"},
    };
    for (const QStringList& arguments : badLines) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const QueryRun run = RunQuery(arguments);
        EXPECT_EQ(run.exitCode, BadInput);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains("--help"));
    }

    const QueryRun version = RunQuery({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "quimbrel-query " QUIMBREL_VERSION "\n");

    // Every option and exit status is told in --help and in the manual page.
    const QueryRun help = RunQuery({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    std::ifstream manualFile(QUIMBREL_MANUAL_PAGE);
    const std::string manual((std::istreambuf_iterator<char>(manualFile)), std::istreambuf_iterator<char>());
    const QRegularExpression option(QStringLiteral("--([a-z-]+)"));
    int options = 0;
    for (const QRegularExpressionMatch& match : option.globalMatch(QString::fromUtf8(help.out))) {
        ++options;
        EXPECT_NE(manual.find("\\-\\-" + match.captured(1).replace("-", "\\-").toStdString()), std::string::npos)
            << match.captured(0).toStdString();
    }
    EXPECT_GE(options, 14);
    for (const char* status : {"0 done", "1 the game server", "2 bad input", "3 list server unreachable",
                               "4 listed without distances", "5 the list server sent more", "6 find found nobody"})
        EXPECT_TRUE(help.out.simplified().contains(status)) << status;
    for (int status = 0; status <= 6; ++status)
        EXPECT_NE(manual.find(".B " + std::to_string(status) + "\n"), std::string::npos) << status;
}
