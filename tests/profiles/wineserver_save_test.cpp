// Saving a profile beside a real Wine server of the prefix, started as Wine
// starts it for a program whose temporary folder is not ours.
#include "platform/registry_testprefix.h"
#include "profiles/tzarnsettings.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <glob.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Comes and goes as a Wine program does, to the server working below
// `folder`. The server greets each program it takes on with its protocol
// version; one leaving before that would not count.
bool ConnectAndLeave(const std::filesystem::path& folder)
{
    glob_t found{};
    sockaddr_un address{AF_UNIX, {}};
    if (::glob((folder / "*/server-*/socket").c_str(), 0, nullptr, &found) == 0)
        std::strncpy(address.sun_path, found.gl_pathv[0], sizeof address.sun_path - 1);
    ::globfree(&found);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    pollfd greeting{fd, POLLIN, 0};
    char version[4];
    const bool greeted = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
                         && ::poll(&greeting, 1, 10000) == 1 && ::recv(fd, version, sizeof version, 0) > 0;
    ::close(fd);
    return greeted;
}

TEST(SavingBesideWinesServer, AServerThatStaysRefusesTheSaveAndALingeringOneIsWaitedFor)
{
    // "-p": the server stays; "-p2": it goes two seconds after its last program.
    for (const bool lingering : {false, true}) {
        SCOPED_TRACE(lingering ? "lingering" : "staying");
        TestPrefix prefix;
        TestPrefix serversTemporary;
        const std::string before = UserRegHeader() + "\n[Software\\\\Zarn\\\\Player1] 1\n\"Name\"=\"Before\"\n";
        prefix.Write("user.reg", before);
        // Wine records its temporary folder here; a FIFO must not hold us up.
        ASSERT_EQ(::mkfifo(prefix.File("wineserver").c_str(), 0600), 0);
        TZarnSettings settings{Registry(prefix.Path())};
        settings.KeyPath = "\\Software\\Zarn\\Player1";
        settings.Load();
        settings.SetName("During");

        const pid_t server = ::fork();
        if (server == 0) {
            ::setenv("WINEPREFIX", prefix.Path().c_str(), 1);
            ::setenv("TMPDIR", serversTemporary.Path().c_str(), 1);
            ::execlp("wineserver", "wineserver", "-f", lingering ? "-p2" : "-p", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        bool ended = false; // and reaped, so not to be killed
        auto hasEnded = [&] { return ended = ended || ::waitpid(server, nullptr, WNOHANG) == server; };
        // Once the server has taken on a program, one that stays still runs
        // and one that lingers is about to go.
        bool ready = false;
        for (auto deadline = std::chrono::steady_clock::now() + 20s;
             !ready && !hasEnded() && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms))
            ready = ConnectAndLeave(serversTemporary.Path());
        if (ready) {
            EXPECT_TRUE(Registry(prefix.Path()).InUseByWine());
            bool refused = false;
            try {
                settings.Save();
            } catch (const TWineRunningException& error) {
                refused = true;
                EXPECT_NE(std::string(error.what()).find("\"" + prefix.Path().string() + "\""), std::string::npos);
                EXPECT_NE(std::string(error.what()).find("wineserver -k"), std::string::npos);
            }
            // A lingering server has gone before the save, one that stays has not.
            EXPECT_EQ(hasEnded(), lingering);
            EXPECT_EQ(refused, !lingering);
            EXPECT_EQ(settings.Modified(), refused);
            EXPECT_EQ(prefix.Read("user.reg").find("\"Name\"=\"During\"") != std::string::npos, lingering);
        }
        if (!hasEnded()) {
            ::kill(server, SIGKILL);
            ::waitpid(server, nullptr, 0);
        }
        if (!ready)
            GTEST_SKIP() << "Wine's server does not start here (scripts/install-deps.sh installs it)";
    }
}

} // namespace
