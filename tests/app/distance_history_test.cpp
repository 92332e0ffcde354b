// The last minute behind a row's distance, measured by the real echo threads in
// a test network of the test's own and read from the "Distance" cell's tooltip.
#include "app/distancemeasurement.h"
#include "app/form1.h"
#include "app/startup.h"
#include "browse/distancetooltip.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demolistserver.h"
#include "net/netlab.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cstdlib>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace {

std::string Line(const std::string& ip, int n)
{
    return ip + ":10052 e" + std::to_string(n) + " public ctf 1.24   60 1/8 Server " + std::to_string(n);
}

// Moves the window thread into a network namespace for a while, so that the
// sockets it opens and the threads it starts belong there.
class InsideNamespace {
public:
    explicit InsideNamespace(const NetworkNamespace& place) : home_(open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC))
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
            count += pixel.red() > 180 && pixel.green() < 120 && pixel.blue() < 120;
        }
    return count;
}

} // namespace

class DistanceHistoryTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;
    std::unique_ptr<TempIni> ini_;
    MainWindows windows_;

    TForm1& form() { return *windows_.form1; }
    ServerListView& view() { return *form().lvServerList; }
    DistanceTooltip* tooltip() { return view().findChild<DistanceTooltip*>(); }

    // Hovers a cell as the window system does when the mouse rests on it.
    void RestOn(int row, int column)
    {
        const QPoint at = view().visualRect(form().serverTable->index(row, column)).center();
        QHelpEvent help(QEvent::ToolTip, at, view().viewport()->mapToGlobal(at));
        QApplication::sendEvent(view().viewport(), &help);
    }

private slots:
    void initTestCase()
    {
        qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit());
        ini_ = std::make_unique<TempIni>();
        windows_ = CreateMainWindows();
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

    void cleanupTestCase() { windows_ = {}; }

    void tooltipShowsLossOfAHostSilentThreeSecondsInTenAndTheSteadyHostsFigures()
    {
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
        form().idCListServer().host = server.address();
        form().idCListServer().port = server.port();
        form().sbGetList->click();
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
        QVERIFY(QRegularExpression("^\\d+ ms$").match(form().serverTable->index(0, ColDistance).data().toString()).hasMatch());

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
};

QUIMBREL_TEST_MAIN(DistanceHistoryTest)
#include "distance_history_test.moc"
