// Rows whose address is a host name, looked up by their echo threads while the
// name servers stay silent: neither a new list nor a close waits for them.
#include "app/distancemeasurement.h"
#include "app/form1.h"
#include "app/startup.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demolistserver.h"
#include "net/icmp.h"
#include "support/silentnameservers.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

constexpr qint64 kLongestStopMs = 1500;

std::string Line(const std::string& ip, const std::string& name)
{
    return ip + ":10052 e1 public ctf 1.24   60 1/8 " + name;
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

}  // namespace

class DistanceNameLookupTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;
    std::unique_ptr<TempIni> ini_;
    MainWindows windows_;

    TForm1& form() { return *windows_.form1; }
    QString Name(int row) { return form().serverTable->index(row, ColName).data().toString(); }

    void GetListFrom(const DemoListServer& server)
    {
        form().idCListServer().host = server.address();
        form().idCListServer().port = server.port();
        form().sbGetList->click();
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

    // A new list first stops every row of the old one, then the window closes.
    void newListAndCloseDoNotWaitForSilentNameServers()
    {
        if (!CanMeasure())
            QSKIP("no echo socket can be opened here");
        SilentNameServerSocket silent;
        QVERIFY(silent.Ready());
        MeasureDistancesWithEchoes(form());

        DemoListServer first("127.0.0.1", 0, {Line("first.silent.test", "First"), Line("127.0.0.1", "Near")});
        GetListFrom(first);
        QTRY_COMPARE_WITH_TIMEOUT(Name(0), QStringLiteral("First"), 5000);
        QVERIFY2(silent.QueryCameWithin(std::chrono::milliseconds(3000)), "the row never asked the name servers");

        DemoListServer second("127.0.0.1", 0, {Line("second.silent.test", "Second")});
        QElapsedTimer replacing;
        replacing.start();
        GetListFrom(second);
        QTRY_COMPARE_WITH_TIMEOUT(Name(0), QStringLiteral("Second"), 5000);
        QVERIFY2(replacing.elapsed() < kLongestStopMs,
                 qPrintable(QStringLiteral("the new list took %1 ms").arg(replacing.elapsed())));
        QVERIFY2(silent.QueryCameWithin(std::chrono::milliseconds(3000)), "the new row never asked the name servers");

        QElapsedTimer closing;
        closing.start();
        QVERIFY(form().close());
        QVERIFY2(closing.elapsed() < kLongestStopMs,
                 qPrintable(QStringLiteral("closing took %1 ms").arg(closing.elapsed())));
        QVERIFY(!form().serverTable->HasDistanceMeter(0));
    }
};

QUIMBREL_TEST_MAIN(DistanceNameLookupTest)
#include "distance_name_lookup_test.moc"
