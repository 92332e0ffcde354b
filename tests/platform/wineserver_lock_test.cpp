#include "platform/registry/registry.h"
#include "platform/registry/wineserver_lock.h"
#include "platform/registry_testprefix.h"
#include "platform/wineserver_lockholder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

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
    const bool madeRoot = !fs::exists(root);
    if (madeRoot) {
        ASSERT_EQ(::mkdir(root.c_str(), 0700), 0);
    }
    const fs::path folder = root / ServerFolder(prefix.Path());
    fs::create_directory(folder);
    ExpectWritesRefusedWhileLocked(prefix, folder / "lock");
    fs::remove_all(folder);
    if (madeRoot)
        fs::remove(root);
}

TEST(WineServerLock, TheServerIsFoundByTheFolderItWorksInWhereverThatIs)
{
    // The server's temporary folder is its own, unknown to us, and the
    // prefix's "wineserver" file is a FIFO, which must never be opened.
    TestPrefix prefix;
    TestPrefix other;
    TestPrefix serversTemporary;
    prefix.Write("user.reg", Profile);
    ASSERT_EQ(::mkfifo(prefix.File("wineserver").c_str(), 0600), 0);
    const fs::path ours = serversTemporary.Path() / "wine-Ab12Cd" / ServerFolder(prefix.Path());
    const fs::path others = serversTemporary.Path() / "wine-Ab12Cd" / ServerFolder(other.Path());

    struct Case {
        const char* what;
        fs::path folder;
        bool takesLock;
        bool running;
    };
    for (const Case& c : {Case{"a process in the folder, not holding its lock", ours, false, false},
                          Case{"another prefix's server", others, true, false},
                          Case{"the prefix's server", ours, true, true}}) {
        SCOPED_TRACE(c.what);
        fs::create_directories(c.folder);
        LockHolder process(c.folder / "lock", c.takesLock);
        ASSERT_TRUE(process.Locked());
        EXPECT_EQ(WineServerRunning(prefix.Path()), c.running);
        EXPECT_EQ(WineServerProcesses(prefix.Path()).size(), c.running ? 1u : 0u);
    }
    ExpectWritesRefusedWhileLocked(prefix, ours / "lock");
}

} // namespace
