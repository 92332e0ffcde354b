#include "launch/joinable.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct Executables {
    std::map<GameVersion, std::string> paths{{GameVersion::V121, "/games/121/zarn2.exe"},
                                             {GameVersion::V124, "/games/124/zarn2.exe"},
                                             {GameVersion::V124x, "/games/124x/zarn2.exe"}};
    int lookups = 0;

    ExecutableLookup Lookup()
    {
        return [this](GameVersion version) {
            ++lookups;
            return paths[version];
        };
    }
};

ServerEntry Server(std::string version, std::string mode = "ctf")
{
    ServerEntry entry;
    entry.name = "Tumble Hall";
    entry.type = "DM";
    entry.version = std::move(version);
    entry.mode = std::move(mode);
    entry.ip = "127.0.0.1";
    entry.port = "10054";
    return entry;
}

TEST(IsJoinable, KnownVersionNeedsItsOwnExecutable)
{
    const std::pair<const char*, GameVersion> cases[] = {{"1.21  ", GameVersion::V121},
                                                         {"1.24  ", GameVersion::V124},
                                                         {"1.24 x", GameVersion::V124x}};
    for (const auto& [text, version] : cases) {
        SCOPED_TRACE(text);
        Executables executables;
        EXPECT_TRUE(IsJoinable(Server(text), executables.Lookup()));

        // Clearing another version's executable does not matter...
        for (GameVersion other : AllGameVersions) {
            if (other != version)
                executables.paths[other].clear();
        }
        EXPECT_TRUE(IsJoinable(Server(text), executables.Lookup()));

        // ...clearing its own does, and is seen at the very next question.
        executables.paths = {{version, ""}};
        EXPECT_FALSE(IsJoinable(Server(text), executables.Lookup()));
        executables.paths[version] = "C:\\Zarn\\zarn2.exe";
        EXPECT_TRUE(IsJoinable(Server(text), executables.Lookup()));
    }
}

TEST(IsJoinable, UnknownVersionSetsNoRequirement)
{
    Executables none;
    none.paths.clear();
    for (const char* text : {"1.22  ", "1.21", "1.24", "1.24 X", "2.0", " "}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(IsJoinable(Server(text), none.Lookup()));
    }
    EXPECT_EQ(none.lookups, 0);
}

TEST(IsJoinable, OnlyLowerCasePrivateIsPrivate)
{
    Executables executables;
    EXPECT_FALSE(IsJoinable(Server("1.24  ", "private"), executables.Lookup()));
    EXPECT_FALSE(IsJoinable(Server("1.99  ", "private"), executables.Lookup()));
    for (const char* mode : {"Private", "PRIVATE", "private ", " private", "privat", ""}) {
        SCOPED_TRACE(mode);
        EXPECT_TRUE(IsJoinable(Server("1.24  ", mode), executables.Lookup()));
    }
}

TEST(IsJoinable, RowWithoutVersionIsNotJoinable)
{
    Executables executables;
    EXPECT_FALSE(IsJoinable(ServerEntry{}, executables.Lookup()));

    ServerEntry cutShort;
    cutShort.name = "Half a record";
    cutShort.type = "DM";
    EXPECT_FALSE(IsJoinable(cutShort, executables.Lookup()));
}

}  // namespace
