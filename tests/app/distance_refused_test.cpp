// A system that refuses every echo socket: the list still fills, the distances
// stay empty and the user is told why once.
#include "app/distancemeasurement.h"
#include "app/form1.h"
#include "app/startup.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demolistserver.h"
#include "net/echopermission.h"
#include "net/icmp.h"
#include "net/netlab.h"
#include "support/messageboxwatcher.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <linux/capability.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Takes CAP_NET_RAW from the calling thread for good; threads it starts later
// are without it too.
bool GiveUpRawSockets()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned bit = 1u << (CAP_NET_RAW % 32);
    data[CAP_NET_RAW / 32].effective &= ~bit;
    data[CAP_NET_RAW / 32].permitted &= ~bit;
    data[CAP_NET_RAW / 32].inheritable &= ~bit;
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

class DistanceRefusedTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;
    std::unique_ptr<TempIni> ini_;
    std::unique_ptr<NetworkNamespace> place_;

private slots:
    void initTestCase()
    {
        qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit());
        ini_ = std::make_unique<TempIni>();
        // A new namespace admits no group to datagram echo sockets; without
        // CAP_NET_RAW raw ones are refused too. An ordinary user may be refused here already.
        std::string whyNot;
        place_ = NetworkNamespace::Create(whyNot);
        if (!place_ && !EchoSocketsRefused())
            QSKIP(("needs a network namespace of its own: " + whyNot).c_str());
        QVERIFY(!place_ || setns(place_->Descriptor(), CLONE_NEWNET) == 0);
        QVERIFY(!place_ || GiveUpRawSockets());
        QVERIFY_THROWS_EXCEPTION(TICMPException, TICMP());
    }

    void listFillsAndTheReasonIsToldOnce()
    {
        MainWindows windows = CreateMainWindows();
        TForm1& form = *windows.form1;
        MeasureDistancesWithEchoes(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        std::vector<std::string> lines;
        for (int i = 1; i <= 3; ++i)
            lines.push_back("127.0.0." + std::to_string(i) + ":10052 e public ctf 1.24   60 1/8 Server");
        DemoListServer server("127.0.0.1", 0, lines);
        form.idCListServer().host = "127.0.0.1";
        form.idCListServer().port = server.port();

        MessageBoxWatcher boxes;
        form.sbGetList->click();
        QCOMPARE(form.serverTable->rowCount(), 3);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(form.serverTable->index(row, ColDistance).data().toString(), QString());
            QVERIFY(!form.serverTable->HasDistanceMeter(row));
        }
        QCOMPARE(boxes.seen().size(), 1);
        const QString text = boxes.seen().first().text;
        QVERIFY(text.contains(QStringLiteral("net.ipv4.ping_group_range")));
        QVERIFY(text.contains(QStringLiteral("cap_net_raw")));
        QVERIFY(!text.contains(QStringLiteral("Error connecting to listserver")));

        // Once per run: the next list says nothing more.
        boxes.clear();
        form.sbGetList->click();
        QCOMPARE(form.serverTable->rowCount(), 3);
        QVERIFY(boxes.seen().isEmpty());
    }
};

QUIMBREL_TEST_MAIN(DistanceRefusedTest)
#include "distance_refused_test.moc"
