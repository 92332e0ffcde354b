// "Find player" against our demo game servers on loopback.
#include "app/findplayer/findplayertool.h"
#include "app/findplayer/foundplayersmodel.h"
#include "app/findplayer/playersearchsession.h"
#include "app/findplayer/tfrmfindplayer.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demogameserver.h"
#include "demo-servers/demolistserver.h"
#include "serverinfo/tfrmplayerlist.h"
#include "support/playablewindows.h"
#include "support/silentnameservers.h"
#include "support/testmain.h"
#include "support/timescale.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <memory>

using namespace std::chrono_literals;

namespace {

std::unique_ptr<DemoGameServer> GameServer(std::vector<std::string> players, GameAnswer answer = GameAnswer::Complete)
{
    GameServerSetup setup;
    setup.address = "127.0.0.1";
    setup.levelName = "Bramble Keep";
    setup.players = std::move(players);
    setup.answer = answer;
    return std::make_unique<DemoGameServer>(std::move(setup));
}

ServerEntry Row(const std::string& name, const DemoGameServer& server, const char* mode = "public")
{
    ServerEntry entry;
    entry.name = name;
    entry.version = "1.24  ";
    entry.mode = mode;
    entry.ip = server.address();
    entry.port = std::to_string(server.port());
    entry.distance = "pinging...";
    return entry;
}

} // namespace

class FindPlayerTest : public QObject {
    Q_OBJECT
private:
    PlayableWindows windows_;

    TForm1& form() { return *windows_.windows.form1; }
    FindPlayerTool& tool() { return *form().FindPlayer(); }
    TfrmFindPlayer& window() { return *tool().Window(); }
    const SearchProgress& progress() { return tool().Session().Progress(); }
    QAbstractItemModel& found() { return *window().lvFound->model(); }

    void ShowRows(const std::vector<ServerEntry>& rows)
    {
        form().serverTable->Clear();
        for (const ServerEntry& row : rows)
            form().serverTable->AppendRow(row);
    }

    void Search(const QString& name)
    {
        window().edPlayerName->setText(name);
        QTest::keyClick(window().edPlayerName, Qt::Key_Return);
        QVERIFY(progress().running);
    }

    // Each found row as "player|server|level|distance", sorted: servers answer in any order.
    QStringList FoundRows()
    {
        QStringList rows;
        for (int row = 0; row < found().rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < FoundPlayersModel::ColumnCount; ++column)
                cells << found().index(row, column).data().toString();
            rows << cells.join(u'|');
        }
        rows.sort();
        return rows;
    }

private slots:
    void initTestCase()
    {
        windows_.Open();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
    }

    void cleanupTestCase() { windows_.windows = {}; }

    void findsAFriendOnTwoServersAndSelectsTheRowOfOne()
    {
        const auto first = GameServer({"|T|oadstool", "Pip", "Bell\x07"});
        const auto other = GameServer({"Marrow"});
        const auto second = GameServer({"toadSTOOL"});
        const auto closed = GameServer({"Toadstool"});
        ShowRows({Row("First", *first), Row("Closed", *closed, "private"), Row("Other", *other),
                  Row("Second", *second)});
        form().serverTable->SetDistance(3, "12 ms");
        bool started = false;
        form().SetProgramStarter([&started](const std::string&, const std::string&) { started = true; });

        QTest::keyClick(form().lvServerList, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(window().isVisible());
        QVERIFY(form().screen()->availableGeometry().contains(window().frameGeometry()));

        // Any letter case; the private server is not asked.
        Search(QStringLiteral("TOAD"));
        QTRY_VERIFY_WITH_TIMEOUT(!progress().running, ScaledMs(5000));
        QCOMPARE(FoundRows(), QStringList({"Toadstool|First|Bramble Keep|pinging...",
                                           "toadSTOOL|Second|Bramble Keep|12 ms"}));
        QCOMPARE(window().pbSearch->text(), QStringLiteral("3 of 3 asked, 3 answered, 0 failed"));
        QCOMPARE(closed->connectionsAccepted(), 0u);
        // The distance stays the row's current one.
        form().serverTable->SetDistance(0, "40 ms");
        QCOMPARE(FoundRows().first(), QStringLiteral("Toadstool|First|Bramble Keep|40 ms"));

        // An empty name lists everybody; a control character shows as its symbol.
        Search(QString());
        QTRY_VERIFY_WITH_TIMEOUT(!progress().running, ScaledMs(5000));
        QCOMPARE(found().rowCount(), 5);
        QVERIFY(FoundRows().contains(QStringLiteral("Bell\u2407|First|Bramble Keep|40 ms")));

        const int page = form().PageControl1->currentIndex();
        int secondRow = 0;
        while (found().index(secondRow, FoundPlayersModel::ColServer).data() != QStringLiteral("Second"))
            ++secondRow;
        QTreeView& view = *window().lvFound;
        // A double click, or Return in the results, picks the server; Return
        // there is not the main window's "Start game".
        const std::function<void(const QModelIndex&)> ways[] = {
            [&](const QModelIndex& result) {
                const QPoint at = view.visualRect(result).center();
                QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
            },
            [&](const QModelIndex& result) {
                window().activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&window()));
                view.setFocus();
                view.setCurrentIndex(result);
                RunUntilIdle();
                QTest::keyClick(&view, Qt::Key_Return);
            },
        };
        for (const auto& pick : ways) {
            form().lvServerList->selectionModel()->clear();
            pick(found().index(secondRow, 0));
            QCOMPARE(form().lvServerList->SelectedRow(), std::optional<int>(3));
            QCOMPARE(form().PageControl1->currentIndex(), page);
            QVERIFY(!windows_.windows.frmPlayerList->isVisible());
            QVERIFY(!started);
        }
        // With a server now selected, and "Start game" with it, Return in the
        // name field still searches.
        RunUntilIdle();
        QVERIFY(form().acStartGame->isEnabled());
        Search(QStringLiteral("toad"));
        QVERIFY(!started);
        form().SetProgramStarter({});
    }

    void aSilentServerDelaysNobodyAndClosingTheWindowEndsTheSearch()
    {
        const auto silent = GameServer({"Hazel"}, GameAnswer::Silent);
        const auto resetting = GameServer({"Dapple"}, GameAnswer::ResetAfterVersion);
        const auto first = GameServer({"Pip"});
        const auto second = GameServer({"Quill", "Nettle"});
        // And a server whose name no name server answers for.
        const SilentNameServers nameServers;
        ServerEntry unnamed = Row("Unnamed", *first);
        unnamed.ip = "unnamed.quimbrel.test";
        ShowRows({Row("Silent", *silent), Row("Resetting", *resetting), unnamed, Row("First", *first),
                  Row("Second", *second)});
        form().idCServerInfo().timeouts = {60s, 60s};
        tool().acFindPlayerExecute();

        Search(QString());
        QTRY_COMPARE_WITH_TIMEOUT(progress().answered, 2, ScaledMs(5000));
        QTRY_COMPARE_WITH_TIMEOUT(progress().failed, 1, ScaledMs(5000));
        QCOMPARE(found().rowCount(), 3);
        QVERIFY(progress().running);

        QElapsedTimer closing;
        closing.start();
        window().close();
        QVERIFY(!progress().running);
        QVERIFY2(closing.elapsed() < ScaledMs(200), qPrintable(QString::number(closing.elapsed())));
        form().idCServerInfo().timeouts = {};
    }

    void atMostThirtyTwoExchangesAreOpenAtOnce()
    {
        // Forty servers that never answer take two rounds of their time limit.
        std::vector<std::unique_ptr<DemoGameServer>> silent;
        std::vector<ServerEntry> rows;
        for (int i = 0; i < 40; ++i) {
            silent.push_back(GameServer({"Hazel"}, GameAnswer::Silent));
            rows.push_back(Row("Silent", *silent.back()));
        }
        ShowRows(rows);
        form().idCServerInfo().timeouts = {300ms, 300ms};
        int mostOpen = 0;
        const auto watch = connect(&tool().Session(), &PlayerSearchSession::ProgressChanged, this, [&] {
            mostOpen = std::max(mostOpen, progress().asked - progress().answered - progress().failed);
        });
        tool().acFindPlayerExecute();
        QElapsedTimer searching;
        searching.start();
        Search(QString());
        QTRY_VERIFY_WITH_TIMEOUT(!progress().running, ScaledMs(5000));
        disconnect(watch);
        QCOMPARE(progress().failed, 40);
        QCOMPARE(mostOpen, 32);
        QVERIFY(searching.elapsed() >= 600);
        form().idCServerInfo().timeouts = {};
    }

    void getListDuringASearchEndsItAndDropsItsResults()
    {
        const auto silent = GameServer({"Hazel"}, GameAnswer::Silent);
        const auto answering = GameServer({"Pip"});
        ShowRows({Row("Silent", *silent), Row("Answering", *answering)});
        tool().acFindPlayerExecute();
        Search(QString());
        QTRY_COMPARE_WITH_TIMEOUT(found().rowCount(), 1, ScaledMs(5000));

        DemoListServer list("127.0.0.1", 0, {"127.0.0.9:10052 e1 public Coop 1.24   59 1/4 Fresh"});
        form().idCListServer().host = "127.0.0.1";
        form().idCListServer().port = list.port();
        form().sbGetList->click();
        QCOMPARE(form().serverTable->rowCount(), 1);
        QVERIFY(!progress().running);
        RunUntilIdle();
        QCOMPARE(found().rowCount(), 0);
    }
};

QUIMBREL_TEST_MAIN(FindPlayerTest)
#include "findplayer_test.moc"
