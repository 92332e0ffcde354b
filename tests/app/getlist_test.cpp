// "Get List" against real list servers on loopback.
#include "app/form1.h"
#include "app/startup.h"
#include "browse/distancemeter.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demolistserver.h"
#include "support/messageboxwatcher.h"
#include "support/tempini.h"
#include "support/testmain.h"
#include "support/timescale.h"
#include "support/whenready.h"

#include <QAction>
#include <QTabBar>
#include <QTabWidget>
#include <QWindow>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

const std::vector<std::string> kLines = {
    "127.0.0.1:10052 e1 dm ctf 1.24   3725 3/8 My |S|erver",
    "127.0.0.2:10053 e2 private coop 1.21   59 1/4 |Closed| club",
    "127.0.1.5:10054 e3 dm ctf 1.24 x 360000 0/16 Far away",
};

// Records the order in which rows' workers are asked to stop and waited for.
struct MeterLog {
    std::vector<std::string> events;
};

class FakeMeter : public DistanceMeter {
public:
    FakeMeter(MeterLog& log, std::string ip) : log_(log), ip_(std::move(ip)) {}
    void RequestStop() override { log_.events.push_back("stop " + ip_); }
    void WaitUntilEnded() override { log_.events.push_back("wait " + ip_); }

private:
    MeterLog& log_;
    std::string ip_;
};

// A loopback port with nobody listening.
unsigned short ClosedPort()
{
    DemoListServer probe("127.0.0.1", 0, {});
    const unsigned short port = probe.port();
    probe.stop();
    return port;
}

} // namespace

class GetListTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;
    std::unique_ptr<TempIni> ini_;
    MeterLog meters_;  // outlives the window, whose rows' meters write to it
    MainWindows windows_;

    TForm1& form() { return *windows_.form1; }

    QStringList Row(int row)
    {
        QStringList texts;
        for (int column = 0; column < ServerColumnCount; ++column)
            texts << form().serverTable->index(row, column).data().toString();
        return texts;
    }

    void GetListFrom(const DemoListServer& server)
    {
        form().idCListServer().host = "127.0.0.1";
        form().idCListServer().port = server.port();
        form().sbGetList->click();
    }

private slots:
    void initTestCase()
    {
        qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit());
        ini_ = std::make_unique<TempIni>();
        windows_ = CreateMainWindows();
        form().edZarn121cmd->setText(QStringLiteral("/games/121/zarn2.exe"));
        form().edZarn124cmd->setText(QStringLiteral("/games/124/zarn2.exe"));
        form().SetDistanceMeterFactory([this](ServerTableModel&, int, const std::string& ip) {
            return std::make_unique<FakeMeter>(meters_, ip);
        });
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

    void init() { meters_.events.clear(); }

    void cleanupTestCase() { windows_ = {}; }

    void fillsTheTableFromTheListServer()
    {
        DemoListServer server("127.0.0.1", 0, kLines);
        MessageBoxWatcher boxes;
        GetListFrom(server);
        QVERIFY(boxes.seen().isEmpty());
        QCOMPARE(form().serverTable->rowCount(), 3);
        QCOMPARE(Row(0), QStringList({"My Server", "ctf", "1.24  ", "dm", "3/8", "pinging...", " 1:02:05",
                                      "127.0.0.1", "10052", "e1"}));
        QCOMPARE(Row(1)[ColName], QStringLiteral("Closed club"));
        QCOMPARE(Row(1)[ColUptime], QStringLiteral(" 0:00:59"));
        QCOMPARE(Row(2)[ColVersion], QStringLiteral("1.24 x"));
        QCOMPARE(Row(2)[ColUptime], QStringLiteral("100:00:00"));
        for (int row = 0; row < 3; ++row)
            QVERIFY(form().serverTable->HasDistanceMeter(row));
        QVERIFY(form().sbGetList->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
        // Rows keep the order of the answer, and nothing is selected yet.
        QCOMPARE(form().lvServerList->SelectedRow(), std::nullopt);
        RunUntilIdle();
        QVERIFY(!form().acStartGame->isEnabled());
    }

    void secondListStopsAllWorkersBeforeWaitingForAny()
    {
        DemoListServer first("127.0.0.1", 0, kLines);
        GetListFrom(first);
        meters_.events.clear();
        DemoListServer second("127.0.0.1", 0, {kLines[2]});
        GetListFrom(second);
        const std::vector<std::string> expected = {"stop 127.0.0.1", "stop 127.0.0.2", "stop 127.0.1.5",
                                                   "wait 127.0.0.1", "wait 127.0.0.2", "wait 127.0.1.5"};
        QCOMPARE(meters_.events, expected);
        QCOMPARE(form().serverTable->rowCount(), 1);
        QCOMPARE(Row(0)[ColName], QStringLiteral("Far away"));
    }

    void refusedConnectionKeepsTheOldTable()
    {
        DemoListServer server("127.0.0.1", 0, kLines);
        GetListFrom(server);
        form().serverTable->SetDistance(0, "12 ms");
        meters_.events.clear();

        MessageBoxWatcher boxes;
        form().idCListServer().port = ClosedPort();
        form().sbGetList->click();
        QCOMPARE(boxes.texts(), QStringList{"Error connecting to listserver"});
        QCOMPARE(boxes.seen().first().title, QStringLiteral("The Quimbrel"));
        QCOMPARE(boxes.seen().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(form().serverTable->rowCount(), 3);
        QCOMPARE(Row(0)[ColDistance], QStringLiteral("12 ms"));
        QVERIFY(meters_.events.empty());
        QVERIFY(form().sbGetList->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
    }

    void unknownHostIsAnErrorToo()
    {
        MessageBoxWatcher boxes;
        form().idCListServer().host = "no-such-list.tumblewick.invalid";
        form().idCListServer().port = 10057;
        form().sbGetList->click();
        QCOMPARE(boxes.texts(), QStringList{"Error connecting to listserver"});
        QVERIFY(form().sbGetList->isEnabled());
    }

    void answerWithoutLineEndsEmptiesTheTable()
    {
        DemoListServer full("127.0.0.1", 0, kLines);
        GetListFrom(full);
        QCOMPARE(form().serverTable->rowCount(), 3);
        DemoListServer bare("127.0.0.1", 0, {});
        GetListFrom(bare);
        QCOMPARE(form().serverTable->rowCount(), 0);
    }

    void serverClosingMidAnswerShowsWhatCame()
    {
        DemoListServer full("127.0.0.1", 0, {kLines[2]});
        GetListFrom(full);
        MessageBoxWatcher boxes;
        // Half of the answer: the first line and part of the second.
        DemoListServer server("127.0.0.1", 0, kLines, ListAnswer::CloseMidAnswer);
        GetListFrom(server);
        // An orderly close ends the answer; its unfinished last line is dropped.
        QVERIFY(boxes.seen().isEmpty());
        QCOMPARE(form().serverTable->rowCount(), 1);
        QCOMPARE(Row(0)[ColName], QStringLiteral("My Server"));
        QCOMPARE(Row(0)[ColUptime], QStringLiteral(" 1:02:05"));
    }

    void serverResetMidAnswerKeepsTheOldTable()
    {
        DemoListServer full("127.0.0.1", 0, kLines);
        GetListFrom(full);
        MessageBoxWatcher boxes;
        DemoListServer server("127.0.0.1", 0, kLines, ListAnswer::ResetMidAnswer);
        GetListFrom(server);
        QCOMPARE(boxes.texts(), QStringList{"Error connecting to listserver"});
        QCOMPARE(form().serverTable->rowCount(), 3);
    }

    void choosingAnotherListServerAsksThatHost()
    {
        form().cbListServerChange(4);
        QCOMPARE(form().idCListServer().host, std::string("localhost"));
        form().cbListServerChange(1);
        QCOMPARE(form().idCListServer().host, std::string("list2.tumblewick.invalid"));
    }

    // Last: it closes the window.
    void aDownloadKeepsTheWindowPaintedAndACloseEndsIt()
    {
        DemoListServer full("127.0.0.1", 0, kLines);
        GetListFrom(full);
        meters_.events.clear();

        // While a silent server holds the download: the command's button and
        // cursor, no input reaching the window, neither clicks nor keys,
        // distances applied and painted.
        DemoListServer silent("127.0.0.1", 0, {}, ListAnswer::Silent);
        PaintCounter painted(form().lvServerList->viewport());
        bool busy = false;
        int pageAfterClick = -1;
        int launches = 0;
        form().SetProgramStarter([&launches](const std::string&, const std::string&) { ++launches; });
        form().lvServerList->setCurrentIndex(form().serverTable->index(0, ColName));
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        RunUntilIdle();
        QVERIFY(form().acStartGame->isEnabled());
        QElapsedTimer sinceClose;
        WhenReady downloading([&] { return silent.connectionsAccepted() == 1; }, [&] {
            busy = !form().sbGetList->isEnabled() && QApplication::overrideCursor()
                   && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            QTabBar* tabs = form().PageControl1->tabBar();
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
            pageAfterClick = form().PageControl1->currentIndex();
            QTest::keyClick(&form(), Qt::Key_Return);
            painted.paints = 0;
            form().serverTable->OpenDistanceMailbox(0)->Post("7 ms");
        });
        WhenReady shown([&] { return Row(0)[ColDistance] == "7 ms" && painted.paints > 0; }, [&] {
            sinceClose.start();
            form().windowHandle()->close();
        });
        MessageBoxWatcher boxes;
        QVERIFY(ini_->Read().isEmpty());
        GetListFrom(silent);

        QVERIFY2(shown.ran() && sinceClose.elapsed() < ScaledMs(1500), QByteArray::number(sinceClose.elapsed()));
        QVERIFY(busy);
        QCOMPARE(pageAfterClick, 0);
        QCOMPARE(launches, 0);
        // The close wrote the settings and stopped the rows' workers; the
        // abandoned download changed nothing and told nothing.
        QVERIFY(!form().isVisible());
        QVERIFY(ini_->Read().contains("[Config]"));
        QCOMPARE(meters_.events.size(), std::size_t{6});
        QCOMPARE(form().serverTable->rowCount(), 3);
        QVERIFY(boxes.seen().isEmpty());
        QVERIFY(!QApplication::overrideCursor());
    }
};

QUIMBREL_TEST_MAIN(GetListTest)
#include "getlist_test.moc"
