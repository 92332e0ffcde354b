#include "platform/programstart.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

class ProgramStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "quimbrel-start-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }

    void TearDown() override
    {
        for (pid_t pid : lingering_)
            kill(pid, SIGKILL);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // A stand-in program that writes its arguments, one per line, to `record`
    // and then, if asked, stays alive for a while. It names its tools by full
    // path so that it also runs with a test's own PATH.
    fs::path StandIn(const fs::path& path, const fs::path& record, bool linger = false)
    {
        std::ofstream script(path);
        script << "#!/bin/sh\n"
               << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << record.string()
               << ".tmp'\n"
               << "/bin/mv '" << record.string() << ".tmp' '" << record.string() << "'\n";
        if (linger)
            script << "exec /bin/sleep 30\n";
        script.close();
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    // The arguments the stand-in recorded; waits up to five seconds for them.
    static std::optional<std::vector<std::string>> RecordedArguments(const fs::path& record)
    {
        for (int attempt = 0; attempt < 250 && !fs::exists(record); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream in(record);
        if (!in)
            return std::nullopt;
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    void KillLater(pid_t pid) { lingering_.push_back(pid); }

    fs::path dir_;
    std::vector<pid_t> lingering_;
};

bool HasChildren()
{
    int status = 0;
    return !(waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD);
}

TEST_F(ProgramStart, StartsProgramWithParametersSplitAtBlanks)
{
    const fs::path record = dir_ / "args";
    const fs::path program = StandIn(dir_ / "game", record);

    const StartResult result =
        StartProgram(program.string(), " -connect 192.0.2.1:10054   -spy\t-windowed ");

    EXPECT_TRUE(result.started());
    EXPECT_GT(result.pid, 0);
    EXPECT_EQ(RecordedArguments(record),
              (std::vector<std::string>{"-connect", "192.0.2.1:10054", "-spy", "-windowed"}));
    EXPECT_FALSE(HasChildren()) << "the start left a child of ours behind";
}

TEST_F(ProgramStart, EmptyParametersGiveNoArguments)
{
    const fs::path record = dir_ / "args";
    const fs::path program = StandIn(dir_ / "game", record);

    EXPECT_TRUE(StartProgram(program.string(), "   ").started());
    EXPECT_EQ(RecordedArguments(record), std::vector<std::string>{});
}

TEST_F(ProgramStart, ShellMetacharactersArriveLiterally)
{
    const fs::path record = dir_ / "args";
    const fs::path program = StandIn(dir_ / "game", record);
    const fs::path victim = dir_ / "victim";
    std::ofstream(victim) << "keep me";

    const std::string parameters = " -connect 1.2.3.4;rm\t-f\t" + victim.string() +
                                   ":$(touch\t" + (dir_ / "pwned").string() +
                                   ") `id` '\"|&>out -spy";
    ASSERT_TRUE(StartProgram(program.string(), parameters).started());

    EXPECT_EQ(RecordedArguments(record),
              (std::vector<std::string>{"-connect", "1.2.3.4;rm", "-f",
                                        victim.string() + ":$(touch", (dir_ / "pwned").string() + ")",
                                        "`id`", "'\"|&>out", "-spy"}));
    EXPECT_TRUE(fs::exists(victim));
    EXPECT_FALSE(fs::exists(dir_ / "pwned"));
}

TEST_F(ProgramStart, PathWithBlanksAndNonAsciiIsOneArgument)
{
    const fs::path folder = dir_ / "Spiele für Zärn" / "Zarn 2  Tümble";
    fs::create_directories(folder);
    const fs::path record = dir_ / "args";
    const fs::path program = StandIn(folder / "zärn 2 game", record);

    ASSERT_TRUE(StartProgram(program.string(), " -nospy").started());
    EXPECT_EQ(RecordedArguments(record), std::vector<std::string>{"-nospy"});
}

TEST_F(ProgramStart, WindowsProgramsStartThroughTheConfiguredLauncher)
{
    const fs::path record = dir_ / "args";
    const fs::path launcher = StandIn(dir_ / "my launcher", record);
    ScopedEnv wine("WINE", launcher.c_str());

    for (const char* name : {"Zarn Game.exe", "ZARN2.EXE", "zarn2.ExE"}) {
        SCOPED_TRACE(name);
        fs::remove(record);
        const fs::path game = dir_ / name;
        std::ofstream(game) << "MZ";  // never executed itself

        ASSERT_TRUE(StartProgram(game.string(), " -connect 10.1.1.1:80 -spy -fullscreen").started());
        EXPECT_EQ(RecordedArguments(record),
                  (std::vector<std::string>{game.string(), "-connect", "10.1.1.1:80", "-spy",
                                            "-fullscreen"}));
    }
    EXPECT_FALSE(HasChildren());
}

TEST_F(ProgramStart, WindowsFormPathsAreLeftToTheLauncher)
{
    // Installations record their folders the Windows way; only the launcher
    // knows where "C:" is.
    const fs::path record = dir_ / "args";
    const fs::path launcher = StandIn(dir_ / "launcher", record);
    ScopedEnv wine("WINE", launcher.c_str());

    for (const char* path : {"C:\\Games\\Zarn\\zarn2.exe", "d:zarn2.EXE", "..\\zarn\\zarn2.exe"}) {
        SCOPED_TRACE(path);
        fs::remove(record);
        ASSERT_TRUE(StartProgram(path, " -nospy").started());
        EXPECT_EQ(RecordedArguments(record), (std::vector<std::string>{path, "-nospy"}));
    }
}

TEST_F(ProgramStart, DefaultLauncherIsFoundOnPath)
{
    const fs::path record = dir_ / "args";
    StandIn(dir_ / "wine", record);
    const fs::path game = dir_ / "zarn2.exe";
    std::ofstream(game) << "MZ";
    ScopedEnv noWine("WINE", "");
    ScopedEnv path("PATH", dir_.c_str());

    ASSERT_TRUE(StartProgram(game.string(), " -nospy").started());
    EXPECT_EQ(RecordedArguments(record), (std::vector<std::string>{game.string(), "-nospy"}));
}

TEST_F(ProgramStart, StartedProgramRunsInItsOwnSession)
{
    const fs::path record = dir_ / "args";
    const fs::path program = StandIn(dir_ / "game", record, /*linger=*/true);

    const StartResult result = StartProgram(program.string(), "");
    ASSERT_TRUE(result.started());
    KillLater(result.pid);
    ASSERT_TRUE(RecordedArguments(record));

    EXPECT_EQ(getsid(result.pid), result.pid);
    EXPECT_NE(getsid(result.pid), getsid(0));
    EXPECT_FALSE(HasChildren()) << "the running program must not be our child";
}

TEST_F(ProgramStart, StartedProgramInheritsNoStrayDescriptors)
{
    // A pipe we forgot to mark close-on-exec: if the game held its write end,
    // our reader would never see the end of it.
    int leaky[2];
    ASSERT_EQ(pipe(leaky), 0);
    const fs::path record = dir_ / "args";
    const fs::path program = StandIn(dir_ / "game", record, /*linger=*/true);

    const StartResult result = StartProgram(program.string(), "");
    close(leaky[1]);
    ASSERT_TRUE(result.started());
    KillLater(result.pid);
    ASSERT_TRUE(RecordedArguments(record));

    pollfd readEnd{leaky[0], POLLIN, 0};
    const int ready = poll(&readEnd, 1, 2000);
    EXPECT_EQ(ready, 1) << "the started program holds our pipe open";
    if (ready == 1) {
        char byte;
        EXPECT_EQ(read(leaky[0], &byte, 1), 0);
    }
    close(leaky[0]);
}

TEST_F(ProgramStart, UnstartablePathsAreReportedNotThrown)
{
    const fs::path notExecutable = dir_ / "readme";
    std::ofstream(notExecutable) << "#!/bin/sh\n";
    fs::permissions(notExecutable, fs::perms::owner_read | fs::perms::owner_write);

    struct Case {
        fs::path path;
        int error;
    };
    const Case cases[] = {{dir_ / "missing", ENOENT},
                          {dir_ / "missing.exe", ENOENT},
                          {notExecutable, EACCES},
                          {dir_, EACCES}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        ::testing::internal::CaptureStderr();
        StartResult result;
        EXPECT_NO_THROW(result = StartProgram(c.path.string(), " -spy"));
        const std::string errors = ::testing::internal::GetCapturedStderr();

        EXPECT_FALSE(result.started());
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.pid, -1);
        EXPECT_EQ(errors.rfind("quimbrel: cannot start " + c.path.string() + ": ", 0), 0u) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
    EXPECT_FALSE(HasChildren());
}

TEST_F(ProgramStart, MissingLauncherIsReported)
{
    const fs::path game = dir_ / "zarn2.exe";
    std::ofstream(game) << "MZ";
    ScopedEnv wine("WINE", (dir_ / "no-such-launcher").c_str());

    ::testing::internal::CaptureStderr();
    const StartResult result = StartProgram(game.string(), " -spy");
    const std::string errors = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(result.error, ENOENT);
    EXPECT_NE(errors.find("quimbrel: cannot start " + game.string() + ": "), std::string::npos);
    EXPECT_NE(errors.find("no-such-launcher"), std::string::npos) << errors;
    EXPECT_FALSE(HasChildren());
}

}  // namespace
