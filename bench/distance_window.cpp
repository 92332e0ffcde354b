// The real main window measuring a thousand servers at once, offscreen.
//
//   bench_distance_window [raw|datagram] [servers=1000] [seconds=10] [lists=2]
//
// Runs as root inside a network namespace of its own (so that datagram echo
// sockets can be allowed there without touching the system's settings), with the
// demo list server on 127.0.0.1 serving servers on distinct 127.x addresses.
// Prints: time until every row is shown, until every row shows a distance in
// milliseconds, CPU share, threads, mapped and resident memory while measuring,
// the time of a second "Get List" (stop every thread, refill) and of closing the
// window, each against its target; then resident memory once every row of each
// further list is measured, against the first list's.

#include "app/distancemeasurement.h"
#include "app/form1.h"
#include "app/quimbrelapplication.h"
#include "app/startup.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demolistserver.h"
#include "demo-servers/samplelist.h"
#include "platform/allocatorarenas.h"
#include "platform/openfilelimit.h"
#include "platform/threadwaitslots.h"
#include "support/scratchwindowsetting.h"
#include "support/windowwaits.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// What the window is to manage: stops and closes within a fifth of a second
// with a thousand rows, a second with ten thousand; every row measured within
// a second and a half of the first "Get List".
constexpr qint64 kFirstDistancesTargetMs = 1500;
// Resident memory: the first list of ten thousand rows at most this much, and
// every later list within a tenth of the first.
constexpr double kFirstListTargetMiB = 150;
constexpr double kListGrowthTarget = 0.10;

qint64 StopTargetMs(int servers)
{
    return servers <= 1000 ? 200 : 1000;
}

const char* Verdict(qint64 ms, qint64 targetMs)
{
    return ms >= 0 && ms <= targetMs ? "within" : "NOT within";
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A field of /proc/self/status, such as "Threads" or "VmRSS" (in kB).
long StatusField(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    return -1;
}

// A network namespace for this process with its loopback up, where every group
// may open datagram echo sockets.
bool EnterOwnNetwork(std::string& whyNot)
{
    if (unshare(CLONE_NEWNET) != 0) {
        whyNot = std::string("cannot make a network namespace (run as root): ") + std::strerror(errno);
        return false;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0
                    && (request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP),
                        ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    if (fd >= 0)
        close(fd);
    std::ofstream range("/proc/sys/net/ipv4/ping_group_range");
    range << "0 2147483647";
    range.flush();
    if (!up || !range) {
        whyNot = "cannot set up the namespace's loopback and ping_group_range";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string kindText = argc > 1 ? argv[1] : "raw";
    const EchoSocketKind kind = kindText == "datagram" ? EchoSocketKind::Datagram : EchoSocketKind::Raw;
    const int servers = std::clamp(argc > 2 ? std::atoi(argv[2]) : 1000, 1, 10000);
    const int seconds = std::clamp(argc > 3 ? std::atoi(argv[3]) : 10, 1, 120);
    const int lists = std::clamp(argc > 4 ? std::atoi(argv[4]) : 2, 2, 30);

    std::string whyNot;
    if (!EnterOwnNetwork(whyNot)) {
        std::fprintf(stderr, "%s\n", whyNot.c_str());
        return 1;
    }
    // As the program itself starts; MALLOC_ARENA_MAX=16 shows the default.
    LimitAllocatorArenas();
    MapLargeBlocksApart();
    MakeRoomForManyThreadWaits();
    const unsigned long fileLimit = RaiseOpenFileLimit();
    QTemporaryDir scratch;
    UseScratchWindowSetting(scratch);

    QuimbrelApplication app(argc, argv);
    MainWindows windows = CreateMainWindows();
    TForm1& form = *windows.form1;
    MeasureDistancesWithEchoes(form, kind);
    form.show();

    DemoListServer listServer("127.0.0.1", 0, SampleServerLines(static_cast<std::size_t>(servers)));
    form.idCListServer().host = "127.0.0.1";
    form.idCListServer().port = listServer.port();
    ServerTableModel& table = *form.serverTable;
    const long threadsBefore = StatusField("Threads");

    std::printf("%d servers, %s echo sockets, open-file limit %lu\n", servers, kindText.c_str(), fileLimit);
    QElapsedTimer clock;
    clock.start();
    form.sbGetListClick();
    const qint64 rowsShown = clock.elapsed();
    const qint64 firstDistances = RunUntil([&] { return AllMeasured(table, servers); }, 15000);
    const qint64 firstMeasured = firstDistances < 0 ? -1 : rowsShown + firstDistances;
    std::printf("first Get List: all %d rows shown after %lld ms, every row in ms after %lld ms (%s %lld ms)\n",
                table.rowCount(), static_cast<long long>(rowsShown), static_cast<long long>(firstMeasured),
                Verdict(firstMeasured, kFirstDistancesTargetMs), static_cast<long long>(kFirstDistancesTargetMs));
    std::vector<double> residentMiB{StatusField("VmRSS") / 1024.0};  // once each list is measured

    // Steady state: every row measured once a second.
    const double cpuBefore = CpuSeconds();
    clock.restart();
    long maxRss = 0;
    long maxMapped = 0;
    RunUntil([&] {
        maxRss = std::max(maxRss, StatusField("VmRSS"));
        maxMapped = std::max(maxMapped, StatusField("VmSize"));
        return clock.elapsed() >= seconds * 1000;
    }, seconds * 1000 + 1000);
    const double wall = static_cast<double>(clock.elapsed()) / 1000.0;
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("measuring for %.1f s: CPU %.3f s per second (%.1f %% of one core), threads %ld (%ld before), "
                "mapped up to %.1f MiB, resident up to %.1f MiB\n",
                wall, cpu / wall, 100.0 * cpu / wall, StatusField("Threads"), threadsBefore, maxMapped / 1024.0,
                maxRss / 1024.0);

    // The table is reset right after the old rows' threads have all ended.
    qint64 oldThreadsStopped = -1;
    QObject::connect(&table, &QAbstractItemModel::modelReset, [&] { oldThreadsStopped = clock.elapsed(); });
    clock.restart();
    form.sbGetListClick();
    const qint64 secondList = clock.elapsed();
    const qint64 secondDistances = RunUntil([&] { return AllMeasured(table, servers); }, 15000);
    const qint64 stopTarget = StopTargetMs(servers);
    std::printf("second Get List: download and stop of %d threads %lld ms, all rows shown after %lld ms (%s %lld ms), "
                "every row in ms after %lld ms\n",
                servers, static_cast<long long>(oldThreadsStopped), static_cast<long long>(secondList),
                Verdict(secondList, stopTarget), static_cast<long long>(stopTarget),
                static_cast<long long>(secondDistances < 0 ? -1 : secondList + secondDistances));
    residentMiB.push_back(StatusField("VmRSS") / 1024.0);

    bool allMeasured = firstDistances >= 0 && secondDistances >= 0;
    for (int list = 3; list <= lists; ++list) {
        form.sbGetListClick();
        allMeasured = RunUntil([&] { return AllMeasured(table, servers); }, 15000) >= 0 && allMeasured;
        residentMiB.push_back(StatusField("VmRSS") / 1024.0);
    }
    std::printf("resident once each list is measured (MiB):");
    for (const double mib : residentMiB)
        std::printf(" %.1f", mib);
    const double growth = *std::max_element(residentMiB.begin(), residentMiB.end()) / residentMiB.front() - 1;
    std::printf("\nfirst list %.1f MiB (%s %.0f MiB at 10000 rows), largest after it %+.1f %% over %d lists "
                "(%s %.0f %%)\n",
                residentMiB.front(), residentMiB.front() <= kFirstListTargetMiB ? "within" : "NOT within",
                kFirstListTargetMiB, 100 * growth, lists, growth <= kListGrowthTarget ? "within" : "NOT within",
                100 * kListGrowthTarget);

    clock.restart();
    form.close();
    const qint64 closing = clock.elapsed();
    std::printf("closing the window with %d threads: %lld ms (%s %lld ms); threads left %ld (idle ones go within 5 s)\n",
                servers, static_cast<long long>(closing), Verdict(closing, stopTarget),
                static_cast<long long>(stopTarget), StatusField("Threads"));
    return allMeasured ? 0 : 2;
}
