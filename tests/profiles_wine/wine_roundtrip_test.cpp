// Profiles written by us must read in Wine exactly as the game would read
// them, and the reverse. The test makes a fresh Wine prefix of its own once
// for all its cases and asks Wine's own "reg" tool, or small Windows
// programs that use the registry functions as the game does.
#include "childprocess.h"
#include "platform/codepage/localecodepage.h"
#include "platform/registry/wine_programs.h"
#include "profiles/tzarnsettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string ProfileKeys = "HKCU\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\";
const std::string ProfilePaths = "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\";

class WineRoundTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string pattern = (fs::temp_directory_path() / "quimbrel-wine-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            skipReason_ = "cannot create a temporary folder";
            return;
        }
        folder_ = pattern;
        prefix_ = folder_ / "prefix";

        const auto version = RunChild({"wine", "--version"}, Environment(), 60s);
        if (!version || version->exitCode != 0) {
            skipReason_ = "Wine is not installed (scripts/install-deps.sh installs it)";
            return;
        }
        // Making a prefix takes a while: once for every case here.
        const auto boot = RunChild({"wineboot", "-i"}, Environment(), 300s);
        Wine({"wineserver", "-w"}, 60s);
        if (!boot || boot->exitCode != 0 || !fs::exists(prefix_ / "user.reg")) {
            skipReason_ = "Wine cannot start here: wineboot did not make a prefix";
            return;
        }
    }

    static void TearDownTestSuite()
    {
        if (!folder_.empty()) {
            Wine({"wineserver", "-k"}, 30s);
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }

    void SetUp() override
    {
        if (!skipReason_.empty())
            GTEST_SKIP() << skipReason_;
    }

    // Wine's settings for our prefix: no windows, no downloads, and a known
    // locale, so that reg prints in code page 437.
    static std::map<std::string, std::string> Environment()
    {
        return {{"WINEPREFIX", prefix_.string()}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                {"LC_ALL", "C.UTF-8"}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};
    }

    static std::optional<ChildResult> Wine(const std::vector<std::string>& argv, std::chrono::milliseconds limit = 120s)
    {
        return RunChild(argv, Environment(), limit);
    }

    static void RegAdd(const std::string& key, const std::vector<std::string>& value = {})
    {
        std::vector<std::string> argv{"wine", "reg", "add", ProfileKeys + key};
        argv.insert(argv.end(), value.begin(), value.end());
        argv.push_back("/f");
        const auto result = Wine(argv);
        ASSERT_TRUE(result && result->exitCode == 0) << "reg add " << key;
    }

    // Wine's server keeps changes in memory until it ends; once it has, the
    // files hold them and we may write.
    static void WaitForWineToEnd()
    {
        ASSERT_TRUE(Wine({"wineserver", "-w"}, 90s));
        ASSERT_FALSE(Registry(prefix_).InUseByWine());
    }

    // "reg query" lines of a key: value name, type and data.
    static std::map<std::string, std::pair<std::string, std::string>> RegQuery(const std::string& key)
    {
        const auto result = Wine({"wine", "reg", "query", ProfileKeys + key});
        EXPECT_TRUE(result && result->exitCode == 0);
        std::map<std::string, std::pair<std::string, std::string>> values;
        if (!result)
            return values;
        static const std::regex line(R"(^    (.+?)    (REG_\w+)    (.*?)\r?$)");
        std::smatch match;
        const std::string& text = result->output;
        for (std::size_t begin = 0; begin < text.size();) {
            std::size_t end = text.find('\n', begin);
            if (end == std::string::npos)
                end = text.size();
            const std::string one = text.substr(begin, end - begin);
            if (std::regex_match(one, match, line))
                values[match[1]] = {match[2], match[3]};
            begin = end + 1;
        }
        return values;
    }

    // The Windows program of tests/winprograms, run with `locale` set on top
    // of Wine's settings.
    static fs::path AnsiProgram() { return fs::path(QUIMBREL_WINPROGRAMS_DIR) / "ansiprogram.exe"; }
    static std::optional<ChildResult> RunAnsiProgram(const std::map<std::string, std::string>& locale,
                                                     std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"wine", AnsiProgram().string()});
        auto environment = Environment();
        for (const auto& [name, value] : locale)
            environment[name] = value;
        return RunChild(arguments, environment, 120s);
    }


    static inline std::string skipReason_;
    static inline fs::path folder_;
    static inline fs::path prefix_;
};

TEST_F(WineRoundTrip, WineReadsTheProfileWeSave)
{
    RegAdd("Player1");
    WaitForWineToEnd();

    TZarnSettings settings{Registry(prefix_)};
    settings.KeyPath = ProfilePaths + "Player1";
    settings.Load();
    EXPECT_EQ(settings.Character(), 55);
    settings.SetName("Zarn J\xFCrgen");
    settings.SetCharacter(TZarnSettings::Pock);
    settings.SetColor(1, 5);
    settings.SetColor(2, 7);
    settings.SetColor(3, 72);
    settings.SetColor(4, 255);
    ASSERT_NO_THROW(settings.Save());
    ASSERT_FALSE(settings.Modified());

    const auto values = RegQuery("Player1");
    // reg writes to a pipe in the console's code page 437: 0x81 is u-umlaut.
    EXPECT_EQ(values.at("Name"), std::make_pair(std::string("REG_SZ"), std::string("Zarn J\x81rgen")));
    EXPECT_EQ(values.at("Char"), std::make_pair(std::string("REG_BINARY"), std::string("59000000")));
    EXPECT_EQ(values.at("Color"), std::make_pair(std::string("REG_BINARY"), std::string("050748FF")));
}

TEST_F(WineRoundTrip, WeLoadTheProfileWineWrites)
{
    RegAdd("Player2", {"/v", "Name", "/t", "REG_SZ", "/d", "Pock J\xC3\xBCrgen"});
    RegAdd("Player2", {"/v", "Char", "/t", "REG_BINARY", "/d", "3d000000"});
    RegAdd("Player2", {"/v", "Color", "/t", "REG_BINARY", "/d", "10ff0748"});
    RegAdd("Player3", {"/v", "Char", "/t", "REG_DWORD", "/d", "89"});
    WaitForWineToEnd();

    TZarnSettings settings{Registry(prefix_)};
    settings.KeyPath = ProfilePaths + "Player2";
    settings.Load();
    EXPECT_EQ(settings.Name(), "Pock J\xFCrgen");
    EXPECT_EQ(settings.Character(), 61);
    EXPECT_EQ((std::array{settings.GetColor(1), settings.GetColor(2), settings.GetColor(3), settings.GetColor(4)}),
              (std::array{16, 255, 7, 72}));

    // A number where the game keeps 4 bytes stops the reading, as in the game.
    settings.KeyPath = ProfilePaths + "Player3";
    settings.Load();
    EXPECT_EQ(settings.Character(), 0);
    EXPECT_EQ(settings.GetColor(1), 0);
}

TEST_F(WineRoundTrip, NothingIsSavedWhileAWineProgramRunsAndTheRefusalNamesIt)
{
    RegAdd("Player4", {"/v", "Name", "/t", "REG_SZ", "/d", "Before"});
    WaitForWineToEnd();
    // A console program that runs until its input ends, which is at most a
    // minute later, or until Wine is ended below.
    ASSERT_TRUE(Wine({"sh", "-c", "(sleep 60 | wine cmd) </dev/null >/dev/null 2>&1 &"}, 30s));
    const std::vector<std::string> cmd{"cmd.exe"};
    for (auto deadline = std::chrono::steady_clock::now() + 60s;
         WineProgramsOfPrefix(prefix_) != cmd && std::chrono::steady_clock::now() < deadline;)
        std::this_thread::sleep_for(100ms);

    TZarnSettings settings{Registry(prefix_)};
    settings.KeyPath = ProfilePaths + "Player4";
    settings.Load();
    settings.SetName("During");
    try {
        settings.Save();
        ADD_FAILURE() << "saved while Wine ran";
    } catch (const TWineRunningException& error) {
        EXPECT_NE(std::string(error.what()).find("Close cmd.exe,"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(settings.Modified());

    Wine({"wineserver", "-k"}, 30s);
    WaitForWineToEnd();
    settings.Save();
    EXPECT_EQ(RegQuery("Player4").at("Name").second, "During");
}

std::string Hex(std::string_view bytes)
{
    std::string hex;
    for (unsigned char byte : bytes) {
        static constexpr char Digits[] = "0123456789ABCDEF";
        hex += {Digits[byte >> 4], Digits[byte & 15]};
    }
    return hex;
}

TEST_F(WineRoundTrip, OurCodePageIsTheOneWineGivesTheGame)
{
    if (!fs::exists(AnsiProgram()))
        GTEST_SKIP() << "no Windows test program: x86_64-w64-mingw32-gcc was not found";
    // tr_TR, zh_CN and xx_YY are not generated here: Wine takes LC_ALL by its
    // name alone, LC_CTYPE and LANG only when the system has the locale.
    const std::map<std::string, std::string> environments[] = {
        {{"LC_ALL", "pl_PL.UTF-8"}}, {{"LC_ALL", "ru_RU.UTF-8"}}, {{"LC_ALL", "el_GR.UTF-8"}},
        {{"LC_ALL", "ja_JP.UTF-8"}}, {{"LC_ALL", "de_DE.UTF-8"}}, {{"LC_ALL", "C"}},
        {{"LC_ALL", "tr_TR.UTF-8"}}, {{"LC_ALL", "xx_YY.UTF-8"}}, {{"LC_ALL", "sr_RS@latin"}},
        {{"LC_ALL", "sr_RS"}}, {{"LC_ALL", "ru_UA.UTF-8"}}, {{"LC_ALL", "zh_TW"}}, {{"LC_ALL", "ka_GE.UTF-8"}},
        {{"LC_ALL", ""}, {"LC_CTYPE", "pl_PL.UTF-8"}, {"LANG", "ru_RU.UTF-8"}},
        {{"LC_ALL", ""}, {"LANG", "ru_RU.UTF-8"}}, {{"LC_ALL", ""}, {"LANG", "tr_TR.UTF-8"}},
        {{"LC_ALL", ""}, {"LC_CTYPE", "zh_CN.UTF-8"}, {"LANG", "ja_JP.UTF-8"}},
    };
    // Sets the variables here (an empty value removes one); gives back what they were.
    const auto exchange = [](const std::map<std::string, std::string>& wanted) {
        std::map<std::string, std::string> before;
        for (const auto& [name, value] : wanted) {
            before[name] = std::getenv(name.c_str()) ? std::getenv(name.c_str()) : "";
            value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
        }
        return before;
    };
    for (const auto& environment : environments) {
        const auto before = exchange(environment);
        const CodePage ours = AnsiCodePageForLocale(CharacterLocaleFromEnvironment());
        exchange(before);
        const auto result = RunAnsiProgram(environment, {"acp"});
        ASSERT_TRUE(result && result->exitCode == 0) << testing::PrintToString(environment);
        EXPECT_EQ(std::stoul(result->output), ours) << testing::PrintToString(environment);
    }
}

// A name the game keeps survives our load, colour change and save byte for
// byte; a name we save reaches the game as the bytes we hold.
TEST_F(WineRoundTrip, NamesKeepTheirBytesInTheGamesCodePage)
{
    if (!fs::exists(AnsiProgram()))
        GTEST_SKIP() << "no Windows test program: x86_64-w64-mingw32-gcc was not found";
    struct Case {
        const char* locale;
        CodePage codePage;
        std::string key;       // the profile key, named by the game
        std::string gameName;  // e.g. "Łukasz" and an undefined byte, "Жора", "ソーマ"
        std::string ourName;   // e.g. "Żółw", "Ёжик", "ゾーン"
    };
    const Case cases[] = {
        {"pl_PL.UTF-8", 1250, "Player \xA3", "\xA3ukasz\x83", "\xAF\xF3\xB3w"},
        {"ru_RU.UTF-8", 1251, "Player \xC6", "\xC6\xEE\xF0\xE0", "\xA8\xE6\xE8\xEA"},
        // Undefined bytes that Wine maps into the private use area; a letter
        // and its accent stay two characters.
        {"el_GR.UTF-8", 1253, "Player \xC1", "\xC1\xAA\xD2", "\xE1\xFF"},
        {"vi_VN.UTF-8", 1258, "Player \xC3", "A\xDEn", "a\xDE\xEC"},
        // The second byte of "ソ" is that of a backslash.
        {"ja_JP.UTF-8", 932, "Player \x83\x5C", "\x83\x5C\x81\x5B\x83\x7D", "\x83\x5D\x81\x5B\x83\x93"},
    };
    const std::string keyBelowUser = ProfilePaths.substr(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        auto gameSets = [&](const std::string& key, const std::string& name) {
            const auto set = RunAnsiProgram({{"LC_ALL", c.locale}}, {"set", Hex(keyBelowUser + key), Hex("Name"), Hex(name)});
            ASSERT_TRUE(set && set->exitCode == 0);
        };
        auto gameReads = [&](const std::string& key) {
            const auto get = RunAnsiProgram({{"LC_ALL", c.locale}}, {"get", Hex(keyBelowUser + key), Hex("Name")});
            EXPECT_TRUE(get && get->exitCode == 0);
            return get ? get->output.substr(0, get->output.find_first_of("\r\n")) : std::string();
        };
        gameSets(c.key, c.gameName);
        gameSets(c.key + " 2", "Zarn");
        WaitForWineToEnd();

        TZarnSettings settings{Registry(prefix_, c.codePage)};
        settings.KeyPath = ProfilePaths + c.key;
        settings.Load();
        EXPECT_EQ(Hex(settings.Name()), Hex(c.gameName));
        settings.SetColor(2, 9);
        ASSERT_NO_THROW(settings.Save());
        settings.KeyPath = ProfilePaths + c.key + " 2";
        settings.Load();
        settings.SetName(c.ourName);
        ASSERT_NO_THROW(settings.Save());

        EXPECT_EQ(gameReads(c.key), Hex(c.gameName));
        EXPECT_EQ(gameReads(c.key + " 2"), Hex(c.ourName));
        settings.KeyPath = ProfilePaths + c.key;
        settings.Load();
        EXPECT_EQ(settings.GetColor(2), 9);
    }
}

} // namespace
