#include "platform/registry/registry.h"
#include "platform/registry/wineserver_lock.h"
#include "platform/registry_testprefix.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Another process holding a Wine server's lock on a file, as the server
// does for as long as it runs, until this object goes.
class LockHolder {
public:
    explicit LockHolder(const fs::path& lockFile)
    {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::alarm(60); // never outlives a stuck test
            ::close(release[1]);
            ::close(ready[0]);
            const int fd = ::open(lockFile.c_str(), O_CREAT | O_WRONLY, 0600);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_len = 1;
            const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            char ignored;
            (void)!::read(release[0], &ignored, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        pollfd wait{ready[0], POLLIN, 0};
        char ok = 'n';
        if (::poll(&wait, 1, 20000) == 1)
            (void)!::read(ready[0], &ok, 1);
        ::close(ready[0]);
        locked_ = ok == 'y';
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    ~LockHolder()
    {
        ::close(release_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    bool Locked() const { return locked_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

std::string ServerFolder(const fs::path& prefix)
{
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0)
        throw std::runtime_error("stat");
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return name;
}

const std::string Profile = UserRegHeader() + "\n[Software\\\\Zarn] 1\n\"Name\"=\"Old\"\n";

void ExpectWritesRefusedWhileLocked(const TestPrefix& prefix, const fs::path& lockFile)
{
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn", RegistryAccess::ReadWrite);
    ASSERT_TRUE(key);
    {
        LockHolder server(lockFile);
        ASSERT_TRUE(server.Locked());
        EXPECT_TRUE(registry.InUseByWine());
        EXPECT_THROW(key->WriteString("Name", "New"), RegistryInUseError);
        EXPECT_EQ(prefix.Read("user.reg"), Profile);
        // Reading goes on as usual.
        EXPECT_EQ(key->ReadString("Name"), "Old");
    }
    // A server that ended leaves its folder and lock file behind, unlocked.
    EXPECT_TRUE(fs::exists(lockFile));
    EXPECT_FALSE(registry.InUseByWine());
    key->WriteString("Name", "New");
    EXPECT_EQ(key->ReadString("Name"), "New");
}

TEST(WineServerLock, WritesAreRefusedWhileTheServerOfThePrefixRuns)
{
    // Wine's own place for the server folder.
    TestPrefix prefix;
    prefix.Write("user.reg", Profile);
    const fs::path root = "/tmp/.wine-" + std::to_string(::getuid());
    if (!fs::exists(root)) {
        ASSERT_EQ(::mkdir(root.c_str(), 0700), 0);
    }
    const fs::path folder = root / ServerFolder(prefix.Path());
    fs::create_directory(folder);
    ExpectWritesRefusedWhileLocked(prefix, folder / "lock");
    fs::remove_all(folder);
}

TEST(WineServerLock, DebiansRecordedServerFolderIsFound)
{
    // Debian's Wine makes a folder of its own in the temporary folder and
    // records its name in the prefix.
    TestPrefix prefix;
    TestPrefix temporary;
    prefix.Write("user.reg", Profile);
    prefix.Write("wineserver", "wine-Ab12Cd");
    const char* oldTmp = std::getenv("TMPDIR");
    const std::optional<std::string> saved = oldTmp ? std::optional<std::string>(oldTmp) : std::nullopt;
    ::setenv("TMPDIR", temporary.Path().c_str(), 1);
    const fs::path folder = temporary.Path() / "wine-Ab12Cd" / ServerFolder(prefix.Path());
    fs::create_directories(folder);
    ExpectWritesRefusedWhileLocked(prefix, folder / "lock");
    if (saved)
        ::setenv("TMPDIR", saved->c_str(), 1);
    else
        ::unsetenv("TMPDIR");

    // The lock of another prefix's server does not count.
    TestPrefix other;
    const fs::path otherLock = temporary.Path() / "wine-Ab12Cd" / ServerFolder(other.Path()) / "lock";
    fs::create_directories(otherLock.parent_path());
    LockHolder otherServer(otherLock);
    ASSERT_TRUE(otherServer.Locked());
    EXPECT_FALSE(WineServerRunning(prefix.Path()));
    // A recorded name is a plain name: one leading elsewhere, here to that
    // other server's folder, is not followed.
    other.Write("wineserver", "../" + temporary.Path().filename().string() + "/wine-Ab12Cd");
    EXPECT_FALSE(WineServerRunning(other.Path()));
    other.Write("wineserver", temporary.Path().string() + "/wine-Ab12Cd");
    EXPECT_FALSE(WineServerRunning(other.Path()));
}

} // namespace
