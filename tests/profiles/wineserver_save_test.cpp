// Saving a profile beside a real Wine server of the prefix, started as Wine
// starts it for a program whose temporary folder is not ours.
#include "platform/registry_testprefix.h"
#include "profiles/tzarnsettings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string PlayerPath = "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1";

// Wine's server for `prefix`, in the foreground with `persistence` ("-p":
// stays; "-p2": goes two seconds after its last program), its temporary
// folder `temporary`. Killed when the object goes, if it has not ended.
class TestWineServer {
public:
    TestWineServer(const fs::path& prefix, const fs::path& temporary, const char* persistence)
        : temporary_(temporary)
    {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("WINEPREFIX", prefix.c_str(), 1);
            ::setenv("TMPDIR", temporary.c_str(), 1);
            const int null = ::open("/dev/null", O_RDWR);
            for (int fd : {0, 1, 2})
                ::dup2(null, fd);
            ::execlp("wineserver", "wineserver", "-f", persistence, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Ready once its socket is there.
        for (const auto deadline = std::chrono::steady_clock::now() + 20s;
             std::chrono::steady_clock::now() < deadline && !Ended(); std::this_thread::sleep_for(20ms)) {
            if (Socket()) {
                ready_ = true;
                return;
            }
        }
    }
    TestWineServer(const TestWineServer&) = delete;
    TestWineServer& operator=(const TestWineServer&) = delete;
    ~TestWineServer()
    {
        if (!Ended()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool Ready() const { return ready_; }
    bool CouldNotStart() const { return exitCode_ == 127; }

    bool Ended()
    {
        int status = 0;
        if (exitCode_ < 0 && ::waitpid(pid_, &status, WNOHANG) == pid_)
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        return exitCode_ >= 0;
    }

    // Comes and goes as a Wine program does, so that the server's last
    // program has ended. The server greets each program it takes on with
    // its protocol version; leaving before that would not count.
    bool ConnectAndLeave() const
    {
        const std::optional<fs::path> socketFile = Socket();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (!socketFile || socketFile->string().size() >= sizeof address.sun_path)
            return false;
        std::strcpy(address.sun_path, socketFile->c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        bool greeted = false;
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            pollfd greeting{fd, POLLIN, 0};
            char version[4];
            greeted = ::poll(&greeting, 1, 10000) == 1 && ::recv(fd, version, sizeof version, 0) > 0;
        }
        ::close(fd);
        return greeted;
    }

private:
    std::optional<fs::path> Socket() const
    {
        std::error_code error;
        for (fs::recursive_directory_iterator it(temporary_, error), end; !error && it != end; it.increment(error)) {
            if (it->path().filename() == "socket" && it->is_socket())
                return it->path();
        }
        return std::nullopt;
    }

    fs::path temporary_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    bool ready_ = false;
};

TEST(SavingBesideWinesServer, AServerThatStaysRefusesTheSaveAndALingeringOneIsWaitedFor)
{
    struct Case {
        const char* what;
        const char* persistence;
        bool lastProgramLeft;
        bool saved;
    };
    for (const Case& c : {Case{"a server that stays", "-p", false, false},
                          Case{"a server lingering after its last program", "-p2", true, true}}) {
        SCOPED_TRACE(c.what);
        TestPrefix prefix;
        TestPrefix serversTemporary;
        const std::string before = UserRegHeader()
                                   + "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.24\\\\Player1] 1\n"
                                     "\"Name\"=\"Before\"\n";
        prefix.Write("user.reg", before);
        TZarnSettings settings{Registry(prefix.Path())};
        settings.KeyPath = PlayerPath;
        settings.Load();
        settings.SetName("During");

        TestWineServer server(prefix.Path(), serversTemporary.Path(), c.persistence);
        if (server.CouldNotStart()) {
            GTEST_SKIP() << "Wine's server is not installed (scripts/install-deps.sh installs it)";
        }
        ASSERT_TRUE(server.Ready());
        ASSERT_TRUE(Registry(prefix.Path()).InUseByWine());
        if (c.lastProgramLeft) {
            ASSERT_TRUE(server.ConnectAndLeave());
        }

        try {
            settings.Save();
            EXPECT_TRUE(c.saved) << "saved while the server ran";
            EXPECT_TRUE(server.Ended());
            EXPECT_FALSE(settings.Modified());
            EXPECT_NE(prefix.Read("user.reg").find("\"Name\"=\"During\""), std::string::npos);
        } catch (const TWineRunningException& error) {
            EXPECT_FALSE(c.saved) << error.what();
            EXPECT_FALSE(server.Ended());
            EXPECT_NE(std::string(error.what()).find("\"" + prefix.Path().string() + "\""), std::string::npos);
            EXPECT_NE(std::string(error.what()).find("wineserver -k"), std::string::npos);
            EXPECT_TRUE(settings.Modified());
            EXPECT_EQ(prefix.Read("user.reg"), before);
        }
    }
}

} // namespace
