// "Find player" over a thousand demo game servers on loopback, in the main
// window (offscreen) and in quimbrel-query, each timed against 3 s.
//
//   bench_find_player [servers=1000]
//
// The demo list server and the game servers behind its lines run in this
// process, on 127.x addresses; the window's table is filled by "Get List".
// Prints for each: servers asked, answered and failed, players found, the
// time the search took, and (for the window) the most exchanges that were
// open at once.

#include "app/findplayer/findplayertool.h"
#include "app/findplayer/playersearchsession.h"
#include "app/findplayer/tfrmfindplayer.h"
#include "app/form1.h"
#include "app/quimbrelapplication.h"
#include "app/startup.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demolistserver.h"
#include "demo-servers/gameservers.h"
#include "demo-servers/samplelist.h"
#include "platform/openfilelimit.h"
#include "support/scratchwindowsetting.h"
#include "support/windowwaits.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kTargetMs = 3000;

const char* Verdict(qint64 ms)
{
    return ms >= 0 && ms <= kTargetMs ? "within" : "NOT within";
}

}  // namespace

int main(int argc, char** argv)
{
    const int servers = std::clamp(argc > 1 ? std::atoi(argv[1]) : 1000, 1, 1000);
    RaiseOpenFileLimit();
    QTemporaryDir scratch;
    UseScratchWindowSetting(scratch);

    const std::vector<std::string> lines = SampleServerLines(static_cast<std::size_t>(servers));
    DemoGameServers games(lines, {}, lines.size());
    for (const std::string& problem : games.problems())
        std::printf("no game server for %s\n", problem.c_str());
    DemoListServer listServer("127.0.0.1", 0, lines);

    QuimbrelApplication app(argc, argv);
    MainWindows windows = CreateMainWindows();
    TForm1& form = *windows.form1;
    // Every version can be started, so only the private servers are left out.
    for (GameVersion version : AllGameVersions)
        form.ExecutableEdit(version)->setText(QStringLiteral("/games/zarn2.exe"));
    form.show();
    form.idCListServer().host = "127.0.0.1";
    form.idCListServer().port = listServer.port();
    form.sbGetListClick();

    FindPlayerTool& tool = *form.FindPlayer();
    const PlayerSearchSession& session = tool.Session();
    int mostOpen = 0;
    QObject::connect(&session, &PlayerSearchSession::ProgressChanged, [&] {
        const SearchProgress& progress = session.Progress();
        mostOpen = std::max(mostOpen, progress.asked - progress.answered - progress.failed);
    });
    tool.acFindPlayerExecute();
    QElapsedTimer clock;
    clock.start();
    emit tool.Window()->SearchRequested(QString());
    const qint64 windowMs = RunUntil([&] { return !session.Progress().running; }, 30000);
    const SearchProgress& progress = session.Progress();
    std::printf("window: %d rows, %d servers asked, %d answered, %d failed, %d players found in %lld ms "
                "(%s %lld ms); at most %d exchanges open at once\n",
                form.serverTable->rowCount(), progress.asked, progress.answered, progress.failed,
                tool.Window()->lvFound->model()->rowCount(), static_cast<long long>(windowMs), Verdict(windowMs),
                static_cast<long long>(kTargetMs), mostOpen);
    form.close();

    QProcess query;
    clock.restart();
    query.start(QStringLiteral(QUIMBREL_QUERY_PATH),
                {QStringLiteral("find"), QString(), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                 QString::number(listServer.port())});
    const bool ended = query.waitForFinished(30000);
    const qint64 queryMs = ended ? clock.elapsed() : -1;
    const QByteArray found = query.readAllStandardOutput();
    const QByteArray told = query.readAllStandardError().trimmed();
    std::printf("quimbrel-query find: exit %d, %lld players found in %lld ms (%s %lld ms)%s%s\n",
                query.exitCode(), static_cast<long long>(found.count('\n')), static_cast<long long>(queryMs),
                Verdict(queryMs), static_cast<long long>(kTargetMs),
                told.isEmpty() ? "" : "; ", told.constData());
    return windowMs >= 0 && queryMs >= 0 ? 0 : 2;
}
