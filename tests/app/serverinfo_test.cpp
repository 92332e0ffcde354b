// "Serverinfo" against our demo game servers on loopback, and the player
// list window that shows the answer.
#include "app/form1.h"
#include "app/startup.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demogameserver.h"
#include "serverinfo/tfrmplayerlist.h"
#include "support/messageboxwatcher.h"
#include "support/playablewindows.h"
#include "support/testmain.h"
#include "support/whenready.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

const QStringList kErrorLine{QStringLiteral("Error getting Playerlist")};

GameServerSetup Bramble(GameAnswer answer = GameAnswer::Complete)
{
    GameServerSetup setup;
    setup.address = "127.0.0.1";
    setup.levelName = "Bramble Keep";
    // "\xE9" is e acute in the game's code page.
    setup.players = {"|R|ed|Fox", "Pip", "\xE9lan"};
    setup.answer = answer;
    return setup;
}

ServerEntry EntryFor(const std::string& port, const char* version = "1.24  ")
{
    ServerEntry entry;
    entry.name = "Demo";
    entry.type = "Battle";
    entry.version = version;
    entry.mode = "public";
    entry.players = "3/8";
    entry.ip = "127.0.0.1";
    entry.port = port;
    return entry;
}

// A loopback port with nobody listening.
std::uint16_t ClosedPort()
{
    TcpService probe("127.0.0.1", 0, [](ServiceConnection&) {});
    const std::uint16_t port = probe.port();
    probe.stop();
    return port;
}

// What the window and the command showed while the query was under way,
// noted when the level name arrived.
struct DuringQuery {
    bool seen = false;
    bool windowVisible = false;
    bool buttonEnabled = true;
    bool hourglass = false;
    QStringList lines;
};

} // namespace

class ServerInfoTest : public QObject {
    Q_OBJECT
private:
    PlayableWindows windows_;

    TForm1& form() { return *windows_.windows.form1; }
    TfrmPlayerList& playerList() { return *windows_.windows.frmPlayerList; }

    // Puts one row into the table, selects it and runs "Serverinfo".
    void QueryRow(const ServerEntry& entry)
    {
        form().serverTable->Clear();
        const int row = form().serverTable->AppendRow(entry);
        ServerListView& view = *form().lvServerList;
        view.selectionModel()->setCurrentIndex(form().serverTable->index(row, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(view.SelectedRow(), std::optional<int>(row));
        RunUntilIdle();
        QVERIFY(form().sbServerInfo->isEnabled());
        QTest::mouseClick(form().sbServerInfo, Qt::LeftButton);
    }

    void QueryServer(const DemoGameServer& server) { QueryRow(EntryFor(std::to_string(server.port()))); }

    // The command has ended and given everything back.
    void VerifyRestored()
    {
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(form().sbServerInfo->isEnabled());
        QVERIFY(playerList().isVisible());
        QCOMPARE(playerList().mePlayer->toPlainText(), playerList().PlayerLines().join(QLatin1Char('\n')));
    }

private slots:
    void initTestCase()
    {
        windows_.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

    void cleanupTestCase() { windows_.windows = {}; }

    void windowAsDesigned()
    {
        TfrmPlayerList& window = playerList();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Playerlist"));
        QCOMPARE(window.windowType(), Qt::Tool);
        QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(window.minimumSize(), QSize(177, 177));
        QCOMPARE(window.maximumSize(), QSize(177, 177));
        QCOMPARE(window.pnlPlayerList->geometry(), QRect(0, 0, 177, 177));
        QCOMPARE(window.Label3->text(), QStringLiteral("Level:"));
        QCOMPARE(window.Label3->geometry(), QRect(10, 10, 31, 21));
        QCOMPARE(window.edLvlName->geometry(), QRect(42, 10, 89, 21));
        QCOMPARE(window.mePlayer->geometry(), QRect(8, 34, 161, 135));
        QCOMPARE(window.mePlayer->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(window.mePlayer->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(window.mePlayer->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!(window.mePlayer->focusPolicy() & Qt::TabFocus));
        QVERIFY(window.edLvlName->focusPolicy() & Qt::TabFocus);
    }

    void showsLevelAndPlayers()
    {
        DemoGameServer server(Bramble());
        DuringQuery during;
        const auto connection = connect(playerList().edLvlName, &QLineEdit::textChanged, this, [&] {
            during.seen = true;
            during.windowVisible = playerList().isVisible();
            during.buttonEnabled = form().sbServerInfo->isEnabled();
            during.hourglass = QApplication::overrideCursor() &&
                               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            during.lines = playerList().PlayerLines();
        });
        MessageBoxWatcher boxes;
        QueryServer(server);
        disconnect(connection);

        QCOMPARE(playerList().LevelName(), QStringLiteral("Bramble Keep"));
        QCOMPARE(playerList().PlayerLines(), QStringList({"RedFox", "Pip", QStringLiteral("\u00E9lan")}));
        VerifyRestored();
        QVERIFY(boxes.seen().isEmpty());
        QVERIFY(!playerList().isModal());
        // The level name came first, into an emptied and visible window, while
        // the command still held the hourglass and its button.
        QVERIFY(during.seen);
        QVERIFY(during.windowVisible);
        QVERIFY(!during.buttonEnabled);
        QVERIFY(during.hourglass);
        QVERIFY(during.lines.isEmpty());
    }

    void refusedConnectionShowsOnlyTheErrorLine()
    {
        DemoGameServer server(Bramble());
        QueryServer(server);
        QVERIFY(!playerList().LevelName().isEmpty());

        MessageBoxWatcher boxes;
        QueryRow(EntryFor(std::to_string(ClosedPort())));
        QCOMPARE(playerList().LevelName(), QString());
        QCOMPARE(playerList().PlayerLines(), kErrorLine);
        VerifyRestored();
        QVERIFY(boxes.seen().isEmpty());
    }

    void serverClosingAfterTheLevelKeepsTheLevel()
    {
        DemoGameServer server(Bramble(GameAnswer::CloseAfterLevel));
        QueryServer(server);
        QCOMPARE(playerList().LevelName(), QStringLiteral("Bramble Keep"));
        QCOMPARE(playerList().PlayerLines(), kErrorLine);
        VerifyRestored();
    }

    void oddPlayerAnswersAreShownAsTheyRead()
    {
        DemoGameServer empty(Bramble(GameAnswer::PlayersLength1));
        QueryServer(empty);
        QCOMPARE(playerList().PlayerLines(), QStringList());
        QCOMPARE(playerList().mePlayer->toPlainText(), QString());

        // A name made of colour markers alone is an empty line, first or not.
        GameServerSetup markers = Bramble();
        markers.players = {"||||", "Pip", "|"};
        DemoGameServer markerServer(markers);
        QueryServer(markerServer);
        QCOMPARE(playerList().PlayerLines(), QStringList({"", "Pip", ""}));
        QCOMPARE(playerList().mePlayer->document()->blockCount(), 3);

        // Our own record without its zero byte: four empty lines after the others.
        DemoGameServer unterminated(Bramble(GameAnswer::UnterminatedPlayers));
        QueryServer(unterminated);
        QCOMPARE(playerList().PlayerLines(), QStringList({"RedFox", "Pip", QStringLiteral("\u00E9lan"), "", "", "", ""}));
        QCOMPARE(playerList().mePlayer->document()->blockCount(), 7);
        VerifyRestored();
    }

    // Control characters from a server are drawn as symbols, in the table and the window.
    void controlCharactersAreDrawnAsSymbols_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line feed, escape") << "Keep\n\x1B[2J" << QStringLiteral("Keep\u21B5\u241B[2J");
        QTest::newRow("cr lf, tab, del") << "A\r\n\tB\x7F" << QStringLiteral("A\u240D\u21B5\u2409B\u2421");
    }

    void controlCharactersAreDrawnAsSymbols()
    {
        QFETCH(QString, raw);
        QFETCH(QString, shown);
        GameServerSetup setup = Bramble();
        setup.levelName = raw.toStdString();
        setup.players = {setup.levelName, "Pip"};
        DemoGameServer server(setup);
        ServerEntry entry = EntryFor(std::to_string(server.port()));
        entry.name = setup.levelName;
        QueryRow(entry);
        QCOMPARE(form().serverTable->index(0, ColName).data().toString(), shown);
        QCOMPARE(playerList().LevelName(), shown);
        QCOMPARE(playerList().PlayerLines(), QStringList({shown, "Pip"}));
        QCOMPARE(playerList().mePlayer->document()->blockCount(), 2);
    }

    void silentServerEndsWithinTheTimeout()
    {
        DemoGameServer server(Bramble(GameAnswer::Silent));
        form().idCServerInfo().timeouts.inactivity = 400ms;
        QElapsedTimer timer;
        timer.start();
        QueryServer(server);
        const qint64 took = timer.elapsed();
        form().idCServerInfo().timeouts = {};
        QVERIFY2(took >= 350 && took < 3000, QByteArray::number(took));
        QCOMPARE(server.connectionsAccepted(), std::size_t{1});
        QCOMPARE(playerList().LevelName(), QString());
        QCOMPARE(playerList().PlayerLines(), kErrorLine);
        VerifyRestored();
    }

    void distancesKeepComingWhileTheQueryWaits()
    {
        DemoGameServer server(Bramble(GameAnswer::Silent));
        PaintCounter painted(form().lvServerList->viewport());
        WhenReady waiting([&] { return server.connectionsAccepted() == 1; }, [&] {
            painted.paints = 0;
            form().serverTable->OpenDistanceMailbox(0)->Post("7 ms");
        });
        const auto distance = [this] { return form().serverTable->index(0, ColDistance).data().toString(); };
        WhenReady shown([&] { return distance() == "7 ms" && painted.paints > 0; }, [&] { server.stop(); });
        QueryServer(server);
        QVERIFY(shown.ran());
        QCOMPARE(playerList().PlayerLines(), kErrorLine);
        VerifyRestored();
    }

    void portThatIsNoNumberIsAnErrorLine()
    {
        // A live server behind the number's digits: only the whole text counts.
        DemoGameServer server(Bramble());
        const std::string live = std::to_string(server.port());
        for (const std::string& port : {std::string(), "0"s, "65536"s, live + "x", " " + live, live + ".0", "+" + live}) {
            QueryRow(EntryFor(port));
            QCOMPARE(playerList().LevelName(), QString());
            QCOMPARE(playerList().PlayerLines(), kErrorLine);
            VerifyRestored();
        }
    }

    void closingHidesTheWindowWhichReopensWhereItWas()
    {
        DemoGameServer server(Bramble());
        QueryServer(server);
        playerList().move(300, 250);
        QVERIFY(playerList().close());
        QVERIFY(!playerList().isVisible());
        // Hidden, it keeps what it showed.
        QCOMPARE(playerList().LevelName(), QStringLiteral("Bramble Keep"));
        QCOMPARE(playerList().PlayerLines().size(), 3);

        QueryServer(server);
        QVERIFY(playerList().isVisible());
        QCOMPARE(playerList().pos(), QPoint(300, 250));
        QCOMPARE(playerList().PlayerLines().size(), 3);

        form().WriteIniFile();
        const QByteArray ini = windows_.ini->Read();
        QVERIFY2(ini.contains("InfoX=300\r\n") && ini.contains("InfoY=250\r\n"), ini.constData());
    }

    void fieldsIgnoreTyping()
    {
        DemoGameServer server(Bramble());
        QueryServer(server);
        playerList().activateWindow();
        QTest::keyClicks(playerList().edLvlName, QStringLiteral("xyz"));
        QTest::keyClick(playerList().edLvlName, Qt::Key_Backspace);
        QTest::keyClicks(playerList().mePlayer, QStringLiteral("xyz"));
        QCOMPARE(playerList().LevelName(), QStringLiteral("Bramble Keep"));
        QCOMPARE(playerList().mePlayer->toPlainText(), QStringLiteral("RedFox\nPip\n\u00E9lan"));
    }

    void withoutASelectedRowNothingHappens()
    {
        playerList().hide();
        form().serverTable->Clear();
        form().acServerInfoExecute();
        QVERIFY(!playerList().isVisible());
        QVERIFY(!QApplication::overrideCursor());
    }
};

QUIMBREL_TEST_MAIN(ServerInfoTest)
#include "serverinfo_test.moc"
