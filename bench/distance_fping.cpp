// Distance measurement at scale against fping, side by side in one run.
//
//   bench_distance_fping [seconds=10] [rounds=3]   (as root; run through distance_fping.sh)
//
// In a network namespace of its own, with raw echo sockets, the real main window
// measures 1000 and then 100 loopback servers; fping then pings the same addresses
// at the same rate (one echo a second each). The two take turns for the given
// rounds, so that both see the same spells of a noisy machine. Echoes are counted
// by the namespace's own ICMP counters, CPU by rusage (less the far host's
// responder, which runs in this process). Alongside the 1000 rows a host behind a
// veth link that answers after 47 ms is pinged once a second.
// Prints the CPU per echo of each, their ratio, its growth from 100 to 1000 rows,
// how often the 47 ms host read 47 ms, and the CPU of a "Get List" again that
// stops and restarts every row's thread, with and without the list's download.

#include "netlab.h"

#include "app/distancemeasurement.h"
#include "app/form1.h"
#include "app/quimbrelapplication.h"
#include "app/startup.h"
#include "browse/servertablemodel.h"
#include "browse/tpingthread.h"
#include "demo-servers/demolistserver.h"
#include "demo-servers/samplelist.h"
#include "net/icmp.h"
#include "platform/openfilelimit.h"
#include "support/scratchwindowsetting.h"
#include "support/windowwaits.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kSlowHostDelayMs = 47;

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

EchoLab* theLab = nullptr;

// CPU of this process, less the far host's responder, which stands for another
// machine; or of the calling thread.
double CpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    const double lab = who == RUSAGE_SELF && theLab ? theLab->ResponderCpuSeconds() : 0;
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime) - lab;
}

// Echo requests that reached this namespace: every loopback echo, whoever sent it.
long long EchoRequestsReceived()
{
    std::ifstream snmp("/proc/thread-self/net/snmp");
    std::string names, values;
    while (std::getline(snmp, names) && std::getline(snmp, values)) {
        if (names.rfind("Icmp:", 0) != 0)
            continue;
        std::istringstream n(names), v(values);
        std::string name, value;
        while (n >> name && v >> value)
            if (name == "InEchos")
                return std::stoll(value);
    }
    return -1;
}

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// The window's own event loop, idle but for what the rows bring, as when in use.
void RunFor(qint64 ms)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
    loop.exec();
}

struct Cost {
    double cpuSeconds = 0;
    long long echoes = 0;
    double windowThreadSeconds = 0;  // of cpuSeconds: the window thread's share
    double PerEchoUs() const { return echoes > 0 ? cpuSeconds * 1e6 / static_cast<double>(echoes) : 0; }
    Cost& operator+=(const Cost& other)
    {
        cpuSeconds += other.cpuSeconds;
        echoes += other.echoes;
        windowThreadSeconds += other.windowThreadSeconds;
        return *this;
    }
};

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// CPU of the whole program for what the given action sets going, over the given
// time, less the echoes the rows send meanwhile at their steady cost.
struct Spell {
    double allMs = 0;
    double windowMs = 0;
    double lessEchoesMs = 0;
};

template <typename Action>
Spell MeasureSpell(Action action, qint64 settleMs, double steadyUsPerEcho)
{
    const long long echoesBefore = EchoRequestsReceived();
    const double cpuBefore = CpuSeconds();
    const double windowCpuBefore = CpuSeconds(RUSAGE_THREAD);
    action();
    const double windowCpu = CpuSeconds(RUSAGE_THREAD) - windowCpuBefore;
    RunFor(settleMs);
    const double allCpu = CpuSeconds() - cpuBefore;
    const long long echoes = EchoRequestsReceived() - echoesBefore;
    return Spell{allCpu * 1e3, windowCpu * 1e3, allCpu * 1e3 - static_cast<double>(echoes) * steadyUsPerEcho / 1e3};
}

// fping on the given addresses, one echo a second each, for the given rounds.
Cost RunFping(const std::vector<std::string>& addresses, int rounds)
{
    // Spread each round over the second, as the rows' threads are.
    const int intervalMs = std::max(1, 1000 / static_cast<int>(addresses.size()));
    std::vector<std::string> arguments = {"fping", "-q", "-c", std::to_string(rounds), "-p", "1000", "-i",
                                          std::to_string(intervalMs), "-t", "1000"};
    arguments.insert(arguments.end(), addresses.begin(), addresses.end());
    std::printf("  fping -q -c %d -p 1000 -i %d -t 1000 <%zu addresses>\n", rounds, intervalMs, addresses.size());
    std::fflush(stdout);
    const long long echoesBefore = EchoRequestsReceived();
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (!freopen("/dev/null", "w", stderr)) {
        }
        execvp("fping", argv.data());
        _exit(127);
    }
    Cost cost;
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || (WIFEXITED(status) && WEXITSTATUS(status) == 127)) {
        std::printf("  fping could not be run (install it: apt-get install fping)\n");
        return cost;
    }
    cost.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    cost.echoes = EchoRequestsReceived() - echoesBefore;
    return cost;
}

// The rows measuring for the given time: CPU of the whole program per echo.
Cost MeasureSteadyState(int seconds)
{
    const long long echoesBefore = EchoRequestsReceived();
    const double cpuBefore = CpuSeconds();
    const double windowCpuBefore = CpuSeconds(RUSAGE_THREAD);
    RunFor(seconds * 1000LL);
    return Cost{CpuSeconds() - cpuBefore, EchoRequestsReceived() - echoesBefore,
                CpuSeconds(RUSAGE_THREAD) - windowCpuBefore};
}

std::vector<std::string> RowAddresses(const ServerTableModel& table)
{
    std::vector<std::string> addresses;
    for (int row = 0; row < table.rowCount(); ++row)
        addresses.push_back(table.Entry(row).ip);
    return addresses;
}

void PrintCost(const char* who, const Cost& cost)
{
    std::printf("  %-9s %7lld echoes, CPU %.3f s, %.1f us per echo", who, cost.echoes, cost.cpuSeconds,
                cost.PerEchoUs());
    if (cost.windowThreadSeconds > 0)
        std::printf(" (window thread %.3f s of it)", cost.windowThreadSeconds);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = std::clamp(argc > 1 ? std::atoi(argv[1]) : 10, 3, 40);
    const int rounds = std::clamp(argc > 2 ? std::atoi(argv[2]) : 3, 1, 10);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string whyNot;
    // The 47 ms host stands for another machine: its responder must not queue for
    // the CPU behind our thousand rows, so it runs (as a thread it inherits this
    // thread's policy) at real-time priority.
    sched_param realTime{};
    realTime.sched_priority = 10;
    const bool punctualHost = pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime) == 0;
    auto lab = EchoLab::Create(kSlowHostDelayMs, whyNot);
    sched_param normal{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
    if (!punctualHost)
        std::printf("(the 47 ms host's responder runs at normal priority)\n");
    if (!lab) {
        std::fprintf(stderr, "cannot set up the test network (run as root): %s\n", whyNot.c_str());
        return 1;
    }
    theLab = lab.get();
    // This thread, and every thread it starts, lives at the lab's near end.
    if (setns(lab->Near().Descriptor(), CLONE_NEWNET) != 0) {
        std::perror("setns");
        return 1;
    }
    RaiseOpenFileLimit();
    QTemporaryDir scratch;
    UseScratchWindowSetting(scratch);

    QuimbrelApplication app(argc, argv);
    MainWindows windows = CreateMainWindows();
    TForm1& form = *windows.form1;
    MeasureDistancesWithEchoes(form, EchoSocketKind::Raw);
    form.show();
    ServerTableModel& table = *form.serverTable;
    DemoListServer thousand("127.0.0.1", 0, SampleServerLines(1000));
    DemoListServer hundred("127.0.0.1", 0, SampleServerLines(100));
    form.idCListServer().host = "127.0.0.1";

    std::printf("raw echo sockets, %d rounds of %d s each, load average at start %s\n", rounds, seconds,
                LoadAverage().c_str());
    auto getList = [&](int port, int rows) {
        form.idCListServer().port = port;
        form.sbGetListClick();
        if (RunUntil([&] { return AllMeasured(table, rows); }, 15000) < 0) {
            std::fprintf(stderr, "the %d rows were not all measured within 15 s\n", rows);
            std::exit(2);
        }
    };

    // 1000 rows with the 47 ms host beside them, then fping, in turns.
    Cost ours1000, fping1000;
    std::vector<double> ratios1000, ratios100;
    std::map<std::uint32_t, int> slowReadings;
    std::vector<double> getListAgain, getListAgainWindow, threadsAgain;
    getList(thousand.port(), 1000);
    for (int round = 0; round < rounds; ++round) {
        std::printf("1000 rows, round %d of %d\n", round + 1, rounds);
        std::thread slowHost([&] {
            TICMP icmp(EchoSocketKind::Raw);
            icmp.SetAddress(LabAddress::Slow);
            icmp.SetTimeout(1000);
            auto next = std::chrono::steady_clock::now();
            for (int echo = 0; echo < seconds; ++echo) {
                std::this_thread::sleep_until(next);
                next += std::chrono::seconds(1);
                ++slowReadings[icmp.Ping() > 0 ? icmp.Reply().RoundTripTime : 0xFFFFFFFFu];
            }
        });
        const Cost steady = MeasureSteadyState(seconds);
        slowHost.join();
        ours1000 += steady;

        // "Get List" again while every row measures: every thread stopped, every
        // row and thread made anew.
        const Spell again = MeasureSpell([&] { form.sbGetListClick(); }, 1500, steady.PerEchoUs());
        getListAgain.push_back(again.lessEchoesMs);
        getListAgainWindow.push_back(again.windowMs);
        RunUntil([&] { return AllMeasured(table, 1000); }, 15000);
        // The same for the threads alone, the rows kept.
        const std::vector<std::string> addresses = RowAddresses(table);
        const Spell threads = MeasureSpell(
            [&] {
                table.StopDistanceMeters();
                for (int row = 0; row < table.rowCount(); ++row)
                    table.SetDistanceMeter(row, std::make_unique<TPingThread>(table.OpenDistanceMailbox(row),
                                                                              addresses[row], EchoSocketKind::Raw));
            },
            1500, steady.PerEchoUs());
        threadsAgain.push_back(threads.lessEchoesMs);

        table.StopDistanceMeters();
        const Cost peer = RunFping(addresses, seconds);
        fping1000 += peer;
        ratios1000.push_back(peer.PerEchoUs() > 0 ? steady.PerEchoUs() / peer.PerEchoUs() : 0);
        if (round + 1 < rounds)
            getList(thousand.port(), 1000);
    }

    // 100 rows, then fping, in turns.
    Cost ours100, fping100;
    for (int round = 0; round < rounds; ++round) {
        std::printf("100 rows, round %d of %d\n", round + 1, rounds);
        getList(hundred.port(), 100);
        const Cost steady = MeasureSteadyState(seconds);
        ours100 += steady;
        const std::vector<std::string> addresses = RowAddresses(table);
        table.StopDistanceMeters();
        const Cost peer = RunFping(addresses, seconds);
        fping100 += peer;
        ratios100.push_back(peer.PerEchoUs() > 0 ? steady.PerEchoUs() / peer.PerEchoUs() : 0);
    }

    std::printf("\n1000 rows:\n");
    PrintCost("Quimbrel", ours1000);
    PrintCost("fping", fping1000);
    std::printf("100 rows:\n");
    PrintCost("Quimbrel", ours100);
    PrintCost("fping", fping100);
    auto list = [](const std::vector<double>& values, int decimals) {
        std::string text;
        char number[32];
        for (double value : values) {
            std::snprintf(number, sizeof number, "%.*f", decimals, value);
            text += (text.empty() ? "" : ", ") + std::string(number);
        }
        return text;
    };
    const double growth = ours100.PerEchoUs() > 0 ? ours1000.PerEchoUs() / ours100.PerEchoUs() - 1 : 0;
    // Each round's ratio compares spells next to each other; the median keeps one
    // noisy spell from deciding.
    std::printf("\nCPU per echo against fping, median of the rounds (target at most 1.00):\n"
                "  1000 rows %.2f (%s; all rounds together %.2f)\n"
                "  100 rows  %.2f (%s; all rounds together %.2f)\n",
                Median(ratios1000), list(ratios1000, 2).c_str(), ours1000.PerEchoUs() / fping1000.PerEchoUs(),
                Median(ratios100), list(ratios100, 2).c_str(), ours100.PerEchoUs() / fping100.PerEchoUs());
    std::printf("growth of CPU per echo from 100 to 1000 rows: %+.1f %% (target at most +20 %%)\n", growth * 100);

    int slowTotal = 0, slowExact = 0;
    std::printf("the %d ms host beside 1000 rows:", kSlowHostDelayMs);
    for (const auto& [reading, count] : slowReadings) {
        slowTotal += count;
        if (reading == kSlowHostDelayMs)
            slowExact += count;
        if (reading == 0xFFFFFFFFu)
            std::printf(" no reply x%d", count);
        else
            std::printf(" %u ms x%d", reading, count);
    }
    std::printf("\n  read %d ms in %.1f %% of %d echoes (target at least 95 %%)\n", kSlowHostDelayMs,
                slowTotal ? 100.0 * slowExact / slowTotal : 0.0, slowTotal);
    std::printf("Get List again with 1000 rows, CPU less the echoes meanwhile (median of %d):\n"
                "  in all, with the list's download and the table filled anew: %.1f ms (%s; window thread %.1f ms)\n"
                "  stopping and restarting the 1000 threads alone: %.1f ms (%s) (target under 100 ms)\n",
                rounds, Median(getListAgain), list(getListAgain, 0).c_str(), Median(getListAgainWindow),
                Median(threadsAgain), list(threadsAgain, 0).c_str());
    std::printf("load average at the end %s\n", LoadAverage().c_str());
    form.close();
    return 0;
}
