// The quimbrel-query program, run as a user runs it, against our demo list
// and game servers on loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "demo-servers/demogameserver.h"
#include "demo-servers/demolistserver.h"
#include "demo-servers/samplelist.h"
#include "net/icmp.h"
#include "netlab.h"
#include "runquery.h"
#include "support/timescale.h"

using namespace std::chrono_literals;

namespace {

constexpr char Loopback[] = "127.0.0.1";

// The exit statuses scripts rely on.
constexpr int GameServerFailed = 1;
constexpr int BadInput = 2;
constexpr int ListServerUnreachable = 3;

// In the game's code page: "\xE9" is e acute, "\x80" the euro sign; "|"
// marks colours and "\x1B" starts a terminal control sequence.
const std::vector<std::string> ListLines = {
    "127.0.0.5:10052 e1 public Battle 1.24   3725 3/8 Caf\xE9 |R|ed \x80",
    "127.0.0.6:10060 e2 private Race 1.24 x 59 1/4 Sly\x1B[2J name",
    "127.0.0.7:10053 e3 public Coop 1.21   0 0/16 Plain",
};

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

TEST(QueryList, PrintsTheTableColumnsAsLinesAndAsJson)
{
    DemoListServer server(Loopback, 0, ListLines);
    const QueryRun plain = RunQuery({"list", Loopback, "--port", Port(server.port())});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    // Texts in UTF-8, colour markers gone, control characters defused; the
    // version and uptime exactly as the table shows them.
    EXPECT_EQ(plain.Lines(),
              QStringList({QString::fromUtf8("Caf\u00e9 Red \u20ac\tBattle\t1.24  \tpublic\t3/8\t 1:02:05\t"
                                             "127.0.0.5\t10052"),
                           "Sly?[2J name\tRace\t1.24 x\tprivate\t1/4\t 0:00:59\t127.0.0.6\t10060",
                           "Plain\tCoop\t1.21  \tpublic\t0/16\t 0:00:00\t127.0.0.7\t10053"}));
    EXPECT_TRUE(plain.err.isEmpty());

    const QueryRun json = RunQuery({"list", Loopback, "--port", Port(server.port()), "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject document = json.Json();
    EXPECT_EQ(document["listServer"].toString(), Loopback);
    const QJsonArray servers = document["servers"].toArray();
    ASSERT_EQ(servers.size(), 3);
    const QJsonObject first = servers[0].toObject();
    EXPECT_EQ(first["name"].toString(), QString::fromUtf8("Caf\u00e9 Red \u20ac"));
    EXPECT_EQ(first["type"].toString(), "Battle");
    EXPECT_EQ(first["version"].toString(), "1.24  ");
    EXPECT_EQ(first["mode"].toString(), "public");
    EXPECT_EQ(first["players"].toString(), "3/8");
    EXPECT_EQ(first["uptime"].toString(), " 1:02:05");
    EXPECT_EQ(first["ip"].toString(), "127.0.0.5");
    EXPECT_EQ(first["port"].toString(), "10052");
    EXPECT_FALSE(first.contains("distance"));
    // JSON carries the text as it is; escaping is the reader's business.
    EXPECT_EQ(servers[1].toObject()["name"].toString(), "Sly\x1B[2J name");
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
    EXPECT_EQ(run.Json()["servers"].toArray().size(), 3);

    // A host the window does not offer is not used: the window's first list
    // server is, whose name never resolves here.
    const std::string other = folder.filePath("Other.ini").toStdString();
    std::ofstream(other) << "[Config]\r\nListServer=127.0.0.1\r\n";
    const QueryRun fallback =
        RunQuery({"list", "--port", Port(server.port()), "--settings", QString::fromStdString(other)});
    EXPECT_EQ(fallback.exitCode, ListServerUnreachable);
    EXPECT_TRUE(fallback.err.contains("list.tumblewick.invalid")) << fallback.err.toStdString();
}

TEST(QueryList, ARefusedListServerIsReportedAsUnreachable)
{
    const QueryRun run = RunQuery({"list", Loopback, "--port", Port(ClosedPort()), "--json"});
    EXPECT_EQ(run.exitCode, ListServerUnreachable);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("Error connecting to listserver")) << run.err.toStdString();
}

TEST(QueryList, PingMeasuresTwoHundredServersTogether)
{
    if (!CanSendEchoes())
        GTEST_SKIP() << "echo requests cannot be sent here (needs root, CAP_NET_RAW or ping_group_range)";
    // Every sample server has a 127.x address of its own.
    DemoListServer server(Loopback, 0, SampleServerLines(200));
    const QueryRun json = RunQuery({"list", Loopback, "--port", Port(server.port()), "--ping", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    EXPECT_LT(json.elapsed, Scaled(2s));
    const QJsonArray servers = json.Json()["servers"].toArray();
    ASSERT_EQ(servers.size(), 200);
    const QRegularExpression milliseconds(QStringLiteral("^[0-9]+ ms$"));
    for (const QJsonValue& value : servers) {
        const QJsonObject server = value.toObject();
        ASSERT_TRUE(milliseconds.match(server["distance"].toString()).hasMatch())
            << server["ip"].toString().toStdString() << ": " << server["distance"].toString().toStdString();
        EXPECT_EQ(QString::number(server["roundTripMs"].toInteger()) + " ms", server["distance"].toString());
    }

    const QueryRun plain = RunQuery({"list", Loopback, "--port", Port(server.port()), "--ping"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_LT(plain.elapsed, Scaled(2s));
    const QStringList lines = plain.Lines();
    ASSERT_EQ(lines.size(), 200);
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        ASSERT_EQ(fields.size(), 9) << line.toStdString();
        EXPECT_TRUE(milliseconds.match(fields.last()).hasMatch()) << line.toStdString();
    }
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
        EXPECT_EQ(value.toObject()["distance"].toString(), "too far");
        EXPECT_TRUE(value.toObject()["roundTripMs"].isNull());
    }
}

TEST(QueryInfo, PrintsTheLevelAndThePlayersAsLinesAndAsJson)
{
    DemoGameServer game(Bramble());
    const QString address = QString(Loopback) + ":" + Port(game.port());
    // The server speaks only to clients of its own version.
    const QueryRun plain = RunQuery({"info", address, "--version", "1.21"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.Lines(), QStringList({QString::fromUtf8("Bramble \u20ac Keep"), "RedFox", "Pip",
                                          QString::fromUtf8("\u00e9lan")}));

    const QueryRun json = RunQuery({"info", address, "--version", "1.21", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject document = json.Json();
    EXPECT_EQ(document["server"].toString(), address);
    EXPECT_EQ(document["levelName"].toString(), QString::fromUtf8("Bramble \u20ac Keep"));
    EXPECT_EQ(document["playerNames"].toArray(),
              QJsonArray({"RedFox", "Pip", QString::fromUtf8("\u00e9lan")}));

    // Presented as a 1.24 client, the same server hangs up.
    const QueryRun wrongVersion = RunQuery({"info", address, "--json"});
    EXPECT_EQ(wrongVersion.exitCode, GameServerFailed);
    EXPECT_TRUE(wrongVersion.out.isEmpty());
    EXPECT_TRUE(wrongVersion.err.contains("Error getting Playerlist")) << wrongVersion.err.toStdString();
}

TEST(QueryInfo, ASilentGameServerEndsWithinTheTimeOut)
{
    DemoGameServer game(Bramble(GameAnswer::Silent));
    const QueryRun run = RunQuery({"info", QString(Loopback) + ":" + Port(game.port()), "--version", "1.21"});
    EXPECT_EQ(run.exitCode, GameServerFailed);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("Error getting Playerlist")) << run.err.toStdString();
    // The window's limits: 5 s without a byte, 10 s for the whole exchange.
    EXPECT_GE(run.elapsed, 4500ms);
    EXPECT_LT(run.elapsed, Scaled(10500ms));
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
        {"info", "127.0.0.1:10052", "--version", "1.24 xx"},
    };
    for (const QStringList& arguments : badLines) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const QueryRun run = RunQuery(arguments);
        EXPECT_EQ(run.exitCode, BadInput);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains("--help"));
    }

    const QueryRun help = RunQuery({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"list [HOST]", "info HOST:PORT", "--json", "--ping", "--version", "--settings"})
        EXPECT_TRUE(help.out.contains(word)) << word;
}
