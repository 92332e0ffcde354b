#include "platform/registry/registry.h"
#include "platform/registry/wineserver_lock.h"
#include "platform/registry_testprefix.h"
#include "platform/wineserver_lockholder.h"

#include <gtest/gtest.h>

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
    // A temporary folder of the server's own, unknown to us.
    TestPrefix prefix;
    TestPrefix temporary;
    prefix.Write("user.reg", Profile);
    const fs::path folder = temporary.Path() / "wine-Ab12Cd" / ServerFolder(prefix.Path());
    fs::create_directories(folder);
    ExpectWritesRefusedWhileLocked(prefix, folder / "lock");

    // Neither a process in the folder without its lock nor another
    // prefix's server counts.
    LockHolder idle(folder / "lock", false);
    TestPrefix other;
    const fs::path otherLock = temporary.Path() / "wine-Ab12Cd" / ServerFolder(other.Path()) / "lock";
    fs::create_directories(otherLock.parent_path());
    LockHolder otherServer(otherLock);
    ASSERT_TRUE(idle.Locked() && otherServer.Locked());
    EXPECT_FALSE(WineServerRunning(prefix.Path()));
    EXPECT_TRUE(WineServerRunning(other.Path()));
}

} // namespace
