#include "launch/gamelaunch.h"
#include "launch/joinable.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

struct StartRequest {
    std::string path;
    std::string parameters;
};

// The executable edits and a starter that only records what it was asked.
struct LaunchBench {
    std::map<GameVersion, std::string> paths{{GameVersion::V121, "/games/121/zarn2.exe"},
                                             {GameVersion::V124, "/games/124/zarn2.exe"},
                                             {GameVersion::V124x, "/games/124x/zarn2.exe"}};
    std::vector<StartRequest> started;

    ExecutableLookup Lookup()
    {
        return [this](GameVersion version) { return paths[version]; };
    }

    LaunchOutcome Launch(const ServerEntry& entry, LaunchOptions options = {})
    {
        return LaunchGame(entry, options, Lookup(),
                          [this](const std::string& path, const std::string& parameters) {
                              started.push_back({path, parameters});
                          });
    }
};

ServerEntry Server(std::string version, std::string ip = "10.0.0.7", std::string port = "10054")
{
    ServerEntry entry;
    entry.name = "Tumble Hall";
    entry.version = std::move(version);
    entry.mode = "ctf";
    entry.ip = std::move(ip);
    entry.port = std::move(port);
    return entry;
}

TEST(BuildGameParameters, BothOptionSetsWithAddressAndPortUnchanged)
{
    const ServerEntry entry = Server("1.24  ", "192.0.2.14", "27960");
    EXPECT_EQ(BuildGameParameters(entry, {.spy = true, .windowed = true}),
              " -connect 192.0.2.14:27960 -spy -windowed");
    EXPECT_EQ(BuildGameParameters(entry, {.spy = false, .windowed = false}),
              " -connect 192.0.2.14:27960 -nospy -fullscreen");
    EXPECT_EQ(BuildGameParameters(Server("1.24  ", " host.example ", "0x1F"), {}),
              " -connect  host.example :0x1F -nospy -windowed");
}

TEST(ExecutableForServer, EachVersionHasItsExecutableAndUnknownOnesUse124)
{
    LaunchBench bench;
    EXPECT_EQ(ExecutableForServer("1.21  ", bench.Lookup()), "/games/121/zarn2.exe");
    EXPECT_EQ(ExecutableForServer("1.24  ", bench.Lookup()), "/games/124/zarn2.exe");
    EXPECT_EQ(ExecutableForServer("1.24 x", bench.Lookup()), "/games/124x/zarn2.exe");
    for (const char* unknown : {"1.21", "1.25  ", "1.24 X", ""}) {
        SCOPED_TRACE(unknown);
        EXPECT_EQ(ExecutableForServer(unknown, bench.Lookup()), "/games/124/zarn2.exe");
    }
}

TEST(LaunchGame, StartsTheVersionsExecutableWithTheParameters)
{
    LaunchBench bench;
    EXPECT_EQ(bench.Launch(Server("1.21  ", "192.0.2.1", "10054"), {.spy = true, .windowed = true}),
              LaunchOutcome::Started);
    EXPECT_EQ(bench.Launch(Server("1.24 x", "192.0.2.2", "10055"), {.spy = false, .windowed = false}),
              LaunchOutcome::Started);
    EXPECT_EQ(bench.Launch(Server("0.99b ", "192.0.2.3", "10056")), LaunchOutcome::Started);

    ASSERT_EQ(bench.started.size(), 3u);
    EXPECT_EQ(bench.started[0].path, "/games/121/zarn2.exe");
    EXPECT_EQ(bench.started[0].parameters, " -connect 192.0.2.1:10054 -spy -windowed");
    EXPECT_EQ(bench.started[1].path, "/games/124x/zarn2.exe");
    EXPECT_EQ(bench.started[1].parameters, " -connect 192.0.2.2:10055 -nospy -fullscreen");
    EXPECT_EQ(bench.started[2].path, "/games/124/zarn2.exe");
    EXPECT_EQ(bench.started[2].parameters, " -connect 192.0.2.3:10056 -nospy -windowed");
}

TEST(LaunchGame, NothingStartsWithoutAConfiguredExecutable)
{
    LaunchBench bench;
    bench.paths[GameVersion::V124].clear();

    // A version we do not know can be selected, but its fallback is empty.
    const ServerEntry unknown = Server("1.30  ");
    EXPECT_TRUE(IsJoinable(unknown, bench.Lookup()));
    EXPECT_EQ(bench.Launch(unknown), LaunchOutcome::NoExecutable);

    // An executable cleared after the server was selected.
    const ServerEntry selected = Server("1.21  ");
    ASSERT_TRUE(IsJoinable(selected, bench.Lookup()));
    bench.paths[GameVersion::V121].clear();
    EXPECT_EQ(bench.Launch(selected), LaunchOutcome::NoExecutable);

    EXPECT_TRUE(bench.started.empty());
}

}  // namespace
