// Distances measured by the real echo threads, against servers on loopback and
// in network namespaces of the test's own.
#include "app/distancemeasurement.h"
#include "app/form1.h"
#include "app/startup.h"
#include "browse/distancetooltip.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "browse/tpingthread.h"
#include "demo-servers/demolistserver.h"
#include "net/icmp.h"
#include "net/netlab.h"
#include "support/messageboxwatcher.h"
#include "support/silentnameservers.h"
#include "support/tempini.h"
#include "support/testmain.h"
#include "support/timescale.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <unistd.h>

// Fails the next allocation of a row's thread (known by its timer slack), as an
// address-space limit would. Sanitizers bring their own operator new.
static std::atomic<bool> gFailNextRowAllocation{false};
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SANITIZED_ALLOCATOR
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(SANITIZED_ALLOCATOR)
constexpr bool kCanFailAllocations = false;
#else
constexpr bool kCanFailAllocations = true;

void* operator new(std::size_t size)
{
    if (gFailNextRowAllocation && prctl(PR_GET_TIMERSLACK) == static_cast<int>(TPingThread::WaitSlackNs)
        && gFailNextRowAllocation.exchange(false))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#endif

namespace {

const QRegularExpression kMilliseconds(QStringLiteral("^\\d+ ms$"));

std::string Line(const std::string& ip, int n)
{
    return ip + ":10052 e" + std::to_string(n) + " public ctf 1.24   60 1/8 Server " + std::to_string(n);
}

bool CanMeasure()
{
    try {
        TICMP probe;
        return true;
    } catch (const TICMPException&) {
        return false;
    }
}

// Moves the calling (window) thread into a network namespace for a while, so
// that the sockets it opens, echo sockets included, belong there.
class InsideNamespace {
public:
    explicit InsideNamespace(const NetworkNamespace& place)
        : home_(open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC))
    {
        entered_ = home_ >= 0 && setns(place.Descriptor(), CLONE_NEWNET) == 0;
    }
    ~InsideNamespace()
    {
        if (entered_)
            setns(home_, CLONE_NEWNET);
        if (home_ >= 0)
            close(home_);
    }
    bool Entered() const { return entered_; }

private:
    int home_;
    bool entered_ = false;
};

// Pixels of the red that marks a lost echo.
int LostMarkPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += pixel.red() - pixel.green() > 80 && pixel.red() - pixel.blue() > 80;
        }
    return count;
}

} // namespace

class DistanceTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;
    std::unique_ptr<TempIni> ini_;
    MainWindows windows_;
    std::vector<TPingThread*> threads_;  // made by the recording factory, owned by rows

    TForm1& form() { return *windows_.form1; }
    QString Distance(int row) { return form().serverTable->index(row, ColDistance).data().toString(); }
    ServerListView& view() { return *form().lvServerList; }
    DistanceTooltip* tooltip() { return view().findChild<DistanceTooltip*>(); }

    // Hovers a cell as the window system does when the mouse rests on it.
    void RestOn(int row, int column)
    {
        const QPoint at = view().visualRect(form().serverTable->index(row, column)).center();
        QHelpEvent help(QEvent::ToolTip, at, view().viewport()->mapToGlobal(at));
        QApplication::sendEvent(view().viewport(), &help);
    }

    void GetListFrom(const DemoListServer& server)
    {
        form().idCListServer().host = server.address();
        form().idCListServer().port = server.port();
        form().sbGetList->click();
    }

    // As at start-up; also replaces windows that a test has closed.
    void OpenWindows()
    {
        windows_ = {};
        windows_ = CreateMainWindows();
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

    // Real echo threads, remembered so that a test can look at their state.
    void RecordThreads()
    {
        threads_.clear();
        form().SetDistanceMeterFactory([this](ServerTableModel& table, int row, const std::string& ip) {
            auto thread = std::make_unique<TPingThread>(table.OpenDistanceMailbox(row), ip);
            threads_.push_back(thread.get());
            return thread;
        });
    }

private slots:
    void initTestCase()
    {
        qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit());
        ini_ = std::make_unique<TempIni>();
        OpenWindows();
    }

    void cleanupTestCase() { windows_ = {}; }

    void loopbackServerGoesFromPingingToMilliseconds()
    {
        if (!CanMeasure())
            QSKIP("no echo socket can be opened here (neither ping_group_range nor CAP_NET_RAW allow it)");
        MeasureDistancesWithEchoes(form());
        DemoListServer server("127.0.0.1", 0, {Line("127.0.0.1", 1), Line("127.0.0.2", 2)});
        MessageBoxWatcher boxes;
        GetListFrom(server);
        QCOMPARE(form().serverTable->rowCount(), 2);
        QVERIFY(form().serverTable->HasDistanceMeter(0));
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(0)).hasMatch(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(1)).hasMatch(), 3000);
        QVERIFY(boxes.seen().isEmpty());
    }

    void rowOutOfMemoryEndsOnlyItsThreadAndIsToldOnce()
    {
        if (!CanMeasure() || !kCanFailAllocations)
            QSKIP("no echo socket can be opened here, or a sanitizer's allocator cannot be made to fail");
        RecordThreads();
        DemoListServer server("127.0.0.1", 0, {Line("127.0.0.1", 1), Line("127.0.0.2", 2)});
        MessageBoxWatcher boxes;
        GetListFrom(server);
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(0)).hasMatch(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(1)).hasMatch(), 3000);

        gFailNextRowAllocation = true;
        QTRY_VERIFY_WITH_TIMEOUT(threads_[0]->Finished() || threads_[1]->Finished(), 3000);
        const int failed = threads_[0]->Finished() ? 0 : 1;
        QTRY_COMPARE_WITH_TIMEOUT(Distance(failed), QString(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{QStringLiteral(
                                      "Distances cannot be measured for every server: the system gives no more memory.")},
                                  2000);
        form().serverTable->SetDistance(1 - failed, "x");  // the other row goes on
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(1 - failed)).hasMatch(), 3000);
    }

    void unusableAddressEmptiesTheDistanceAndEndsTheThread()
    {
        if (!CanMeasure())
            QSKIP("no echo socket can be opened here");
        RecordThreads();
        // The broadcast text is no address an echo can go to: nothing is sent.
        DemoListServer server("127.0.0.1", 0, {Line("255.255.255.255", 1), Line("127.0.0.1", 2)});
        GetListFrom(server);
        QCOMPARE(threads_.size(), size_t(2));
        QTRY_VERIFY_WITH_TIMEOUT(threads_[0]->Finished(), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(Distance(0), QString(), 1000);
        QCOMPARE(threads_[0]->DistanceText(), std::string());
        // Its neighbour goes on measuring.
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(1)).hasMatch(), 3000);
        QVERIFY(!threads_[1]->Finished());
    }

    void silentOrRefusedHostComesBackWhenEchoesGoThroughAgain()
    {
        if (!CanMeasure())
            QSKIP("no echo socket can be opened here");
        std::string whyNot;
        const std::unique_ptr<NetworkNamespace> place = NetworkNamespace::Create(whyNot);
        if (!place)
            QSKIP(("needs a network namespace of its own: " + whyNot).c_str());
        InsideNamespace inside(*place);
        QVERIFY(inside.Entered());
        MeasureDistancesWithEchoes(form());
        DemoListServer server("127.0.0.1", 0, {Line("127.0.0.1", 1)});
        GetListFrom(server);
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(0)).hasMatch(), 3000);

        QVERIFY(place->WriteSysctl("ipv4/icmp_echo_ignore_all", "1"));
        QTRY_COMPARE_WITH_TIMEOUT(Distance(0), QStringLiteral("too far"), 4000);
        QVERIFY(place->WriteSysctl("ipv4/icmp_echo_ignore_all", "0"));
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(0)).hasMatch(), 4000);

        // A firewall rule refusing echoes for a while (sends fail with EPERM).
        const auto nft = [&place](const std::string& script) {
            int status = -1;
            place->Run([&] { status = std::system(("nft '" + script + "'").c_str()); });
            return status == 0;
        };
        if (!nft("add table ip refuse; add chain ip refuse out { type filter hook output priority 0; }; "
                 "add rule ip refuse out icmp type echo-request drop")) {
            form().serverTable->Clear();
            QSKIP("nft cannot add a rule in the test's network namespace");
        }
        QTRY_COMPARE_WITH_TIMEOUT(Distance(0), QString(), 3000);
        QVERIFY(nft("delete table ip refuse"));
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(0)).hasMatch(), 3000);

        // The rows measure inside the namespace: stop them before leaving it.
        form().serverTable->Clear();
    }

    void distanceTooltipShowsLossAndTheSteadyHostsFigures()
    {
        if (!CanMeasure())
            QSKIP("no echo socket can be opened here");
        std::string whyNot;
        const std::unique_ptr<EchoLab> lab = EchoLab::Create(47, whyNot);
        if (!lab)
            QSKIP(("needs network namespaces of its own: " + whyNot).c_str());
        InsideNamespace inside(lab->Near());
        QVERIFY(inside.Entered());
        // The host on loopback leaves the first three echoes of every ten
        // unanswered: they are sent, and dropped on arrival.
        int status = -1;
        lab->Near().Run([&status] {
            status = std::system("nft 'add table ip lose; add chain ip lose in { type filter hook input priority 0; }; "
                                 "add rule ip lose in ip daddr 127.0.0.1 icmp type echo-request "
                                 "numgen inc mod 10 < 3 drop'");
        });
        if (status != 0)
            QSKIP("nft cannot add a rule in the test's network namespace");
        MeasureDistancesWithEchoes(form());
        DemoListServer server("127.0.0.1", 0, {Line(LabAddress::Slow, 1), Line("127.0.0.1", 2)});
        GetListFrom(server);
        QCOMPARE(form().serverTable->rowCount(), 2);

        // Results come a second apart: the count is seen at ten before an eleventh.
        QTRY_VERIFY_WITH_TIMEOUT(form().serverTable->History(1).Size() >= 10, 20000);
        RestOn(1, ColDistance);
        QVERIFY(tooltip() && tooltip()->isVisible());
        const QString lossy = tooltip()->FiguresText();
        QVERIFY2(lossy.startsWith("Last 10 echoes\n") && lossy.endsWith(", loss 30 %"), qPrintable(lossy));
        QVERIFY(LostMarkPixels(tooltip()->grab().toImage()) > 0);

        RestOn(0, ColDistance);
        const QString steady = tooltip()->FiguresText();
        const QRegularExpressionMatch figures =
            QRegularExpression(R"(min (\d+) ms, average ([\d.]+) ms, max (\d+) ms\n.*loss 0 %$)").match(steady);
        QVERIFY2(figures.hasMatch(), qPrintable(steady));
        for (int i = 1; i <= 3; ++i)
            QVERIFY2(std::abs(figures.captured(i).toDouble() - 47) <= 1, qPrintable(steady));
        QCOMPARE(LostMarkPixels(tooltip()->grab().toImage()), 0);
        // The table's own text is still the last round trip alone.
        QVERIFY(kMilliseconds.match(Distance(0)).hasMatch());

        // Other cells keep their usual tooltips; moving off the cell ends this one.
        RestOn(0, ColName);
        QVERIFY(!tooltip()->isVisible());
        RestOn(0, ColDistance);
        QVERIFY(tooltip()->isVisible());
        QTest::mouseMove(view().viewport(), view().visualRect(form().serverTable->index(1, ColName)).center());
        QTRY_VERIFY_WITH_TIMEOUT(!tooltip()->isVisible(), 2000);

        // The rows measure inside the namespace: stop them before leaving it.
        form().serverTable->Clear();
    }

    void rowsWhoseNameServersAreSilentHoldUpNothing_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::newRow("new list") << false;
        QTest::newRow("close") << true;
    }

    void rowsWhoseNameServersAreSilentHoldUpNothing()
    {
        QFETCH(bool, closing);
        if (!CanMeasure())
            QSKIP("no echo socket can be opened here");
        SilentNameServerSocket silent;
        QVERIFY(silent.Ready());
        MeasureDistancesWithEchoes(form());
        DemoListServer first("127.0.0.1", 0, {Line("first.silent.test", 1), Line("127.0.0.1", 2)});
        GetListFrom(first);
        QVERIFY2(silent.QueryCameWithin(std::chrono::milliseconds(3000)), "the row never asked the name servers");

        QElapsedTimer ending;
        ending.start();
        if (closing) {
            const bool closed = form().close();  // writes the settings and stops every row's thread
            const bool stopped = !form().serverTable->HasDistanceMeter(0);
            const qint64 took = ending.elapsed();
            OpenWindows();  // for the tests that follow
            QVERIFY(closed && stopped);
            QVERIFY2(took < 1500, qPrintable(QStringLiteral("the close took %1 ms").arg(took)));
            return;
        }
        DemoListServer second("127.0.0.1", 0, {Line("127.0.0.1", 3)});
        GetListFrom(second);
        QTRY_COMPARE_WITH_TIMEOUT(form().serverTable->index(0, ColName).data().toString(), QStringLiteral("Server 3"), 5000);
        QVERIFY2(ending.elapsed() < 1500, qPrintable(QStringLiteral("the new list took %1 ms").arg(ending.elapsed())));
    }

    void tooLongAListKeepsTheOldTable()
    {
        form().SetDistanceMeterFactory({});
        DemoListServer small("127.0.0.1", 0, {Line("127.0.0.1", 1)});
        GetListFrom(small);
        std::vector<std::string> lines(10001, Line("127.0.0.1", 7));
        DemoListServer huge("127.0.0.1", 0, lines);
        MessageBoxWatcher boxes;
        GetListFrom(huge);
        QCOMPARE(boxes.texts(), QStringList{"Error connecting to listserver"});
        QCOMPARE(form().serverTable->rowCount(), 1);
        lines.pop_back();
        DemoListServer largest("127.0.0.1", 0, lines);
        // The rows appear in batches, no more often than every 16 ms.
        int batches = 0;
        QMetaObject::Connection counting = connect(form().serverTable, &QAbstractItemModel::rowsInserted,
                                                   [&batches] { ++batches; });
        QElapsedTimer filling;
        filling.start();
        GetListFrom(largest);
        const qint64 took = filling.elapsed();
        disconnect(counting);
        QCOMPARE(form().serverTable->rowCount(), 10000);
        QVERIFY2(batches <= took / 16 + 2, qPrintable(QStringLiteral("%1 batches in %2 ms").arg(batches).arg(took)));
    }

    void workersTextsArriveInBatchesAndNotAfterTheMailboxCloses()
    {
        ServerTableModel table;
        table.AppendRow(ServerEntry{});
        table.AppendRow(ServerEntry{});
        int notices = 0;
        connect(&table, &QAbstractItemModel::dataChanged, [&notices] { ++notices; });
        std::shared_ptr<DistanceMailbox> first = table.OpenDistanceMailbox(0);
        std::shared_ptr<DistanceMailbox> second = table.OpenDistanceMailbox(1);
        std::thread worker([&] {
            DistanceHistory history;
            for (int i = 1; i <= 2000; ++i) {
                history.AddRoundTrip(static_cast<std::uint32_t>(i));
                first->Post(std::to_string(i) + " ms", history);
                second->Post(std::to_string(i + 1) + " ms");
            }
        });
        worker.join();
        // Only the latest texts are shown, both in one notice; the history
        // comes whole with its text.
        QTRY_COMPARE(table.Entry(1).distance, std::string("2001 ms"));
        QCOMPARE(table.Entry(0).distance, std::string("2000 ms"));
        QCOMPARE(notices, 1);
        QCOMPARE(table.History(0).Size(), DistanceHistory::Capacity);
        QCOMPARE(table.History(0).At(0), std::optional<std::uint32_t>(1941));

        // A text still waiting when the owner closes is applied then; nothing after.
        first->Post("too far");
        first->Close();
        QCOMPARE(table.Entry(0).distance, std::string("too far"));
        first->Post("7 ms");
        second->Post("8 ms");
        QTRY_COMPARE(table.Entry(1).distance, std::string("8 ms"));
        QCOMPARE(table.Entry(0).distance, std::string("too far"));
    }

    // Last: it closes the window.
    void closeWithManyMeasuringThreadsEndsAtOnce()
    {
        if (!CanMeasure())
            QSKIP("no echo socket can be opened here");
        RecordThreads();
        constexpr int kRows = 200;
        std::vector<std::string> lines;
        for (int i = 0; i < kRows; ++i)
            lines.push_back(Line("127.20." + std::to_string(i / 100) + "." + std::to_string(i % 100 + 1), i));
        DemoListServer server("127.0.0.1", 0, lines);
        GetListFrom(server);
        QCOMPARE(form().serverTable->rowCount(), kRows);
        QTRY_VERIFY_WITH_TIMEOUT(kMilliseconds.match(Distance(kRows - 1)).hasMatch(), 5000);

        QElapsedTimer stopping;
        stopping.start();
        QVERIFY(form().close());
        const qint64 took = stopping.elapsed();
        // A sleeping thread wakes at its stop: no waiting out the rest of its second.
        QVERIFY2(took < ScaledMs(500), qPrintable(QStringLiteral("closing took %1 ms").arg(took)));
        // Every thread was waited for and destroyed by its row.
        for (int row = 0; row < kRows; ++row)
            QVERIFY(!form().serverTable->HasDistanceMeter(row));
    }
};

QUIMBREL_TEST_MAIN(DistanceTest)
#include "distance_test.moc"
