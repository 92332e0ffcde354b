#include "platform/inifile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <sys/resource.h>
#include <sys/types.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "inifile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    static void Put(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Get(const std::string& path)
    {
        std::ostringstream bytes;
        bytes << std::ifstream(path, std::ios::binary).rdbuf();
        return bytes.str();
    }
    IniFile WithContent(const std::string& bytes)
    {
        Put(PathOf("Quimbrel.ini"), bytes);
        return IniFile(PathOf("Quimbrel.ini"));
    }
    std::size_t EntriesInDir() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
};

void ExpectWriteError(const IniFile& ini, const std::function<void()>& write)
{
    try {
        write();
        FAIL() << "write succeeded";
    } catch (const IniWriteError& error) {
        EXPECT_STREQ(error.what(), ("Unable to write to " + ini.path()).c_str());
    }
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    IniFile missing(PathOf("no/such/Quimbrel.ini"));
    EXPECT_EQ(missing.ReadString("Config", "ListServer", "first.host"), "first.host");
    EXPECT_EQ(missing.ReadInteger("Windows", "MainX", 193), 193);

    IniFile ini = WithContent("[Config]\r\nSpy=0\r\n");
    EXPECT_EQ(ini.ReadString("Windows", "Spy", "d"), "d");
    EXPECT_EQ(ini.ReadString("Config", "DispMode", "Windowed"), "Windowed");
    EXPECT_EQ(ini.ReadInteger("Config", "Spy", 1), 0);
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndBlanksAroundThemAndValues)
{
    IniFile ini = WithContent("\xEF\xBB\xBF[ config ]\n  ListServer \t=  host.example  \nLISTSERVER=second\n"
                              "\xC4nd=\xE9t\xE9\n");
    EXPECT_EQ(ini.ReadString("CONFIG", "listserver", ""), "host.example");
    EXPECT_EQ(ini.ReadString(" Config ", " ListServer ", ""), "host.example");
    EXPECT_EQ(ini.ReadString("Config", "\xC4nd", ""), "\xE9t\xE9");
    EXPECT_EQ(ini.ReadString("Config", "\xE4nd", "none"), "none"); // only ASCII letters fold
    ini.WriteString("Config", "New", "1"); // the byte order mark stays
    EXPECT_EQ(Get(ini.path()).substr(0, 14), "\xEF\xBB\xBF[ config ]\n");
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyWinForReadingAndWriting)
{
    IniFile ini = WithContent("[A]\nk=1\nk=2\n[a]\nk=3\nonly=4\n");
    EXPECT_EQ(ini.ReadString("A", "k", ""), "1");
    EXPECT_EQ(ini.ReadString("A", "only", "none"), "none");
    ini.WriteString("a", "K", "9");
    EXPECT_EQ(Get(ini.path()), "[A]\nk=9\nk=2\n[a]\nk=3\nonly=4\n");
}

TEST_F(IniFileTest, CommentsStrayLinesAndLinesBeforeAnySectionNeverMatch)
{
    IniFile ini = WithContent("k=top\n[S]\n;k=comment\nk\n[broken\nk=real\n");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "real");
    EXPECT_EQ(ini.ReadString("S", ";k", "none"), "none");
}

TEST_F(IniFileTest, WritingAKeyReplacesALineThatNamesItAlone)
{
    // Other readers take a bare "a" as the key without a value and would never
    // see a line added after it.
    IniFile ini = WithContent("[T]\r\nA\r\n[S]\r\n;A\r\n  a \r\nb=1\r\nA=old\r\n");
    ini.WriteString("S", "A", "5");
    EXPECT_EQ(Get(ini.path()), "[T]\r\nA\r\n[S]\r\n;A\r\n  a=5\r\nb=1\r\nA=old\r\n");
    EXPECT_EQ(ini.ReadString("S", "A", ""), "5");

    // An entry before the bare line is the one that is replaced.
    IniFile entryFirst = WithContent("[S]\nA=1\nA\n");
    entryFirst.WriteString("S", "a", "2");
    EXPECT_EQ(Get(entryFirst.path()), "[S]\nA=2\nA\n");
}

TEST_F(IniFileTest, OnePairOfMatchingQuotesIsStripped)
{
    IniFile ini = WithContent("[S]\na=\"C:\\Game \"\nb='x'\nc=\"x'\nd=\"\"x\"\"\ne=\"\nf=\"a\" \"b\"\n");
    EXPECT_EQ(ini.ReadString("S", "a", ""), "C:\\Game ");
    EXPECT_EQ(ini.ReadString("S", "b", ""), "x");
    EXPECT_EQ(ini.ReadString("S", "c", ""), "\"x'");
    EXPECT_EQ(ini.ReadString("S", "d", ""), "\"x\"");
    EXPECT_EQ(ini.ReadString("S", "e", ""), "\"");
    EXPECT_EQ(ini.ReadString("S", "f", ""), "a\" \"b");
    EXPECT_EQ(ini.ReadInteger("S", "b", 5), 5);
}

TEST_F(IniFileTest, ValuesAreCutAt2047Bytes)
{
    const std::string exact(kIniMaxValueLength, 'e'), longer(3000, 'l');
    IniFile ini = WithContent("[S]\nexact=" + exact + "\nlong=" + longer + "\n");
    EXPECT_EQ(ini.ReadString("S", "exact", ""), exact);
    EXPECT_EQ(ini.ReadString("S", "long", ""), longer.substr(0, 2047));
}

TEST(ParseIniInteger, AcceptsDecimalAndHexForms)
{
    const std::pair<const char*, int32_t> good[] = {
        {"42", 42},          {"  42", 42},        {"\t-5", -5},         {"+7", 7},
        {"$20", 32},         {"0x20", 32},        {"0X20", 32},         {"$fF", 255},
        {"-$10", -16},       {"-0x10", -16},      {"007", 7},           {"-0", 0},
        {"2147483647", INT32_MAX},                {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},                 {"-$80000000", INT32_MIN}};
    for (const auto& [text, value] : good)
        EXPECT_EQ(ParseIniInteger(text), std::optional<int32_t>(value)) << text;

    const char* bad[] = {"",   "  ",          "abc",         "12abc",       "42 ",  "- 5",
                         "$",  "0x",          "$G",          "0x-1",        "1.5",  "--1",
                         "x20", "2147483648", "-2147483649", "$80000000",   "$FFFFFFFF",
                         "99999999999999999999"};
    for (const char* text : bad)
        EXPECT_EQ(ParseIniInteger(text), std::nullopt) << '"' << text << '"';
}

TEST_F(IniFileTest, IntegersThatDoNotParseGiveTheDefault)
{
    IniFile ini = WithContent("[W]\nletters=abc\nhex=0x20\nempty=\nhuge=4294967296\nneg=-12\n");
    EXPECT_EQ(ini.ReadInteger("W", "letters", 193), 193);
    EXPECT_EQ(ini.ReadInteger("W", "hex", 193), 32);
    EXPECT_EQ(ini.ReadInteger("W", "empty", 193), 193);
    EXPECT_EQ(ini.ReadInteger("W", "huge", 193), 193);
    EXPECT_EQ(ini.ReadInteger("W", "neg", 193), -12);
}

TEST_F(IniFileTest, WritingReplacesTheLineAndKeepsEveryOtherByte)
{
    const std::string before = "; settings\r\n[Config]\r\nzarn121 = old\r\nOther=x\r\n\r\n[Windows]\r\nMainX=1";
    IniFile ini = WithContent(before);
    ini.WriteString("CONFIG", "Zarn121", "/opt/zarn/zarn");
    ini.WriteInteger("Windows", "MAINX", -20);
    EXPECT_EQ(Get(ini.path()), "; settings\r\n[Config]\r\nzarn121 = /opt/zarn/zarn\r\nOther=x\r\n\r\n"
                               "[Windows]\r\nMainX=-20");
    EXPECT_EQ(ini.ReadInteger("Windows", "MainX", 0), -20);
}

TEST_F(IniFileTest, NewKeysGoAfterTheLastEntryOfTheirSection)
{
    IniFile ini = WithContent("[Config]\nSpy=1\n\n; windows\n[Windows]\nMainX=1\n[Empty]\n\n");
    ini.WriteString("Config", "DispMode", "Windowed");
    ini.WriteString("Windows", "MainY", "107");
    ini.WriteString("Empty", "k", "v");
    EXPECT_EQ(Get(ini.path()), "[Config]\nSpy=1\nDispMode=Windowed\n\n; windows\n"
                               "[Windows]\nMainX=1\nMainY=107\n[Empty]\nk=v\n\n");
}

TEST_F(IniFileTest, NewSectionsGoAtTheEndInTheFilesLineEndings)
{
    IniFile ini = WithContent("[Config]\nSpy=1");
    ini.WriteString("Windows", "MainX", "193");
    EXPECT_EQ(Get(ini.path()), "[Config]\nSpy=1\n\n[Windows]\nMainX=193\n");

    IniFile fresh(PathOf("new/folder/Quimbrel.ini"));
    fresh.WriteString("Config", "Spy", "1");
    fresh.WriteString("Config", "Empty", "");
    EXPECT_EQ(Get(fresh.path()), "[Config]\r\nSpy=1\r\nEmpty=\r\n");
    EXPECT_EQ(fresh.ReadString("Config", "Empty", "d"), "");
}

TEST_F(IniFileTest, UnwritableLocationsReportTheExactError)
{
    Put(PathOf("plain"), "x");
    IniFile underFile(PathOf("plain/Quimbrel.ini"));
    ExpectWriteError(underFile, [&] { underFile.WriteString("Config", "Spy", "1"); });
    EXPECT_EQ(Get(PathOf("plain")), "x");

    IniFile inProc("/proc/Quimbrel.ini");
    ExpectWriteError(inProc, [&] { inProc.WriteString("Config", "Spy", "1"); });

    fs::create_directory(PathOf("folder.ini"));
    IniFile folder(PathOf("folder.ini"));
    ExpectWriteError(folder, [&] { folder.WriteString("Config", "Spy", "1"); });
}

TEST_F(IniFileTest, TextsThatWouldBreakTheFileAreRefusedWithTheFileUnchanged)
{
    const std::string before = "[Config]\r\nZarn121=/old\r\n";
    IniFile ini = WithContent(before);
    ExpectWriteError(ini, [&] { ini.WriteString("Config", "Zarn121", "/new\r\nSpy=0"); });
    ExpectWriteError(ini, [&] { ini.WriteString("Config", "Zarn121", std::string("a\0b", 3)); });
    ExpectWriteError(ini, [&] { ini.WriteString("Con\nfig", "Spy", "1"); });
    for (const char* key : {"", "  ", "a=b", "[x", ";x"})
        ExpectWriteError(ini, [&] { ini.WriteString("Config", key, "1"); });
    ExpectWriteError(ini, [&] { ini.WriteString(" ", "Spy", "1"); });
    EXPECT_EQ(Get(ini.path()), before);
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(IniFileTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
    const std::string before = "[Config]\nZarn121=/old\n";
    IniFile ini = WithContent(before);

    // Cap the size of files this process may write, so that the new content
    // cannot be written out in full.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit capped = saved;
    capped.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &capped), 0);
    ExpectWriteError(ini, [&] { ini.WriteString("Config", "Zarn121", std::string(10000, 'p')); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_EQ(Get(ini.path()), before);
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(IniFileTest, WritingKeepsPermissionsAndSymbolicLinks)
{
    IniFile target = WithContent("[Config]\nSpy=1\n");
    ASSERT_EQ(::chmod(target.path().c_str(), 0640), 0);
    fs::create_symlink(target.path(), PathOf("link.ini"));
    IniFile link(PathOf("link.ini"));

    link.WriteString("Config", "Spy", "0");
    EXPECT_TRUE(fs::is_symlink(link.path()));
    EXPECT_EQ(Get(target.path()), "[Config]\nSpy=0\n");
    struct stat info {};
    ASSERT_EQ(::stat(target.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(IniFileTest, EveryReadSeesTheFileAsItIsNow)
{
    IniFile ini = WithContent("[Windows]\nMainX=1\n");
    EXPECT_EQ(ini.ReadInteger("Windows", "MainX", 0), 1);
    Put(ini.path(), "[Windows]\nMainX=2\n");
    EXPECT_EQ(ini.ReadInteger("Windows", "MainX", 0), 2);
    ini.WriteString("Windows", "MainY", "3");
    EXPECT_EQ(Get(ini.path()), "[Windows]\nMainX=2\nMainY=3\n");
}

// How Wine's own profile functions read a settings file. The expectations
// were taken from Wine 8 (Debian 12): tools/wine-probes/profile_functions.c,
// built with x86_64-w64-mingw32-gcc and run in a fresh prefix, printed what
// GetPrivateProfileStringA returned for each key of each file below (a value
// as bytes; nullptr where it returned the default) and, after
// WritePrivateProfileStringA set the written key, what every other key read.
// Wine hands UTF-16 text to an 8-bit caller in the ANSI code page; here it is
// given as UTF-8, the program's own 8-bit form.
TEST_F(IniFileTest, ReadsAndWritesAsWinesProfileFunctions)
{
    using namespace std::string_literals;
    struct Read {
        const char* section;
        const char* key;
        const char* value;
    };
    struct Case {
        const char* name;
        std::string file;
        std::vector<Read> reads;
        const char* writtenKey; // in section "S", set to "X"
        std::string writtenBytes; // what the written line looks like in the file
    };
    const std::string le = "\xFF\xFE[\0S\0]\0\r\0\n\0a\0=\0\xE9\0\x41\x01x\0\r\0\n\0b\0=\0002\0\r\0\n\0"s;
    const std::string be = "\xFE\xFF\0[\0S\0]\0\r\0\n\0a\0=\0\xE9\x01\x41\0x\0\r\0\n\0b\0=\0002\0\r\0\n"s;
    const Case cases[] = {
        {"lone CR", "[S]\ra=1\rb=2\r[T]\rc=3\r",
         {{"S", "a", "1"}, {"S", "b", "2"}, {"T", "c", "3"}, {"S", "c", nullptr}}, "a", "a=X\r"},
        {"mixed line ends", "[S]\r\na=1\rb=2\n\rc=3\r\r\nd=4\n\ne=5",
         {{"S", "a", "1"}, {"S", "b", "2"}, {"S", "c", "3"}, {"S", "d", "4"}, {"S", "e", "5"}}, "b", "b=X\n"},
        {"new key after an unended lone-CR line", "[S]\ra=1\r[T]\rc=3",
         {{"S", "a", "1"}, {"T", "c", "3"}}, "n", "a=1\rn=X\r"},
        {"Ctrl-Z", "[S]\r\na=1\x1A\r\nb=\x1A" "3\r\nc\x1A=4\r\n\x1A\r\n\x1A" "d=5\r\nf=1\x1A" "2\r\ng=\x1A\"x\"\x1A\r\n[\x1AT]\r\ne=6",
         {{"S", "a", "1"}, {"S", "b", "3"}, {"S", "c", "4"}, {"S", "d", "5"}, {"S", "f", "1\x1A" "2"},
          {"S", "g", "x"}, {"T", "e", "6"}}, "d", "\x1A" "d=X\r\n"},
        {"NUL", "[S]\r\na=1\0002\r\n\0b=2\r\nc\0=3\r\nd=1 \0 2\r\ne=\"ab\0\"\r\n"s,
         {{"S", "a", "1"}, {"S", "b", nullptr}, {"S", "c", "3"}, {"S", "d", "1 "}, {"S", "e", "\"ab"}}, "c",
         "c\0=X\r\n"s},
        {"UTF-16 LE with mark", le, {{"S", "a", "\xC3\xA9\xC5\x81x"}, {"S", "b", "2"}}, "b", "b\0=\0X\0\r\0\n\0"s},
        {"UTF-16 BE with mark", be, {{"S", "a", "\xC3\xA9\xC5\x81x"}, {"S", "b", "2"}}, "b", "\0b\0=\0X\0\r\0\n"s},
        {"UTF-16 BE, lone CR", "\xFE\xFF\0[\0S\0]\0\r\0a\0=\0001"s, {{"S", "a", "1"}}, "a", "\0a\0=\0X"s},
        {"UTF-16 LE without mark", le.substr(2), {{"S", "a", nullptr}, {"S", "b", nullptr}}, "b", "b=X\r"},
        {"UTF-16 BE without mark", be.substr(2), {{"S", "a", nullptr}, {"S", "b", nullptr}}, "b", "b=X\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IniFile ini = WithContent(c.file);
        for (const Read& read : c.reads)
            EXPECT_EQ(ini.ReadString(read.section, read.key, "<default>"), read.value ? read.value : "<default>")
                << read.section << '/' << read.key;

        ini.WriteString("S", c.writtenKey, "X");
        const std::string written = Get(ini.path());
        EXPECT_NE(written.find(c.writtenBytes), std::string::npos);
        if (c.file.starts_with("\xFF\xFE") || c.file.starts_with("\xFE\xFF")) {
            EXPECT_EQ(written.substr(0, 2), c.file.substr(0, 2));
            EXPECT_EQ(written.size() % 2, 0u); // nothing 8-bit added
        }
        EXPECT_EQ(ini.ReadString("S", c.writtenKey, ""), "X");
        for (const Read& read : c.reads) {
            if (read.section != std::string("S") || read.key != std::string(c.writtenKey)) {
                EXPECT_EQ(ini.ReadString(read.section, read.key, "<default>"),
                          read.value ? read.value : "<default>") << "after the write: " << read.key;
            }
        }
    }
}

// Nothing but a regular file is ever opened, so nothing can hold the program
// up: each of these is refused at once with the file and the reason named.
TEST_F(IniFileTest, OnlyRegularFilesAreReadOrWritten)
{
    ASSERT_EQ(::mkfifo(PathOf("fifo.ini").c_str(), 0600), 0);
    fs::create_directory(PathOf("folder.ini"));
    fs::create_symlink("loop-b.ini", PathOf("loop-a.ini"));
    fs::create_symlink("loop-a.ini", PathOf("loop-b.ini"));
    Put(PathOf("large.ini"), "[Config]\nSpy=0\n");
    fs::resize_file(PathOf("large.ini"), kIniMaxFileSize + 1); // sparse: no time to write
    const std::pair<std::string, const char*> cases[] = {
        {PathOf("fifo.ini"), "named pipe"},        {"/dev/zero", "character device"},
        {PathOf("folder.ini"), "folder"},          {PathOf("loop-a.ini"), "loop"},
        {PathOf("large.ini"), "larger than 16 MiB"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        IniFile ini(path);
        const auto start = std::chrono::steady_clock::now();
        try {
            ini.Load();
            ADD_FAILURE() << "read";
        } catch (const IniReadError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
        }
        EXPECT_EQ(ini.ReadString("Config", "Spy", "d"), "d");
        ExpectWriteError(ini, [&] { ini.WriteString("Config", "Spy", "1"); });
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    EXPECT_TRUE(fs::is_fifo(PathOf("fifo.ini")));
    EXPECT_EQ(fs::file_size(PathOf("large.ini")), kIniMaxFileSize + 1);
}

// Sets (or with nullptr unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DefaultIniPath, FollowsTheEnvironment)
{
    ScopedEnv home("HOME", "/home/tester");
    {
        ScopedEnv ini("QUIMBREL_INI", "/etc/q.ini"), xdg("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(DefaultIniPath(), "/etc/q.ini");
    }
    ScopedEnv ini("QUIMBREL_INI", "");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(DefaultIniPath(), "/xdg/Quimbrel.ini");
    }
    for (const char* xdg : {"", "relative/dir"}) {
        ScopedEnv unusable("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(DefaultIniPath(), "/home/tester/.config/Quimbrel.ini") << xdg;
    }
    ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(DefaultIniPath(), "/home/tester/.config/Quimbrel.ini");
}

} // namespace
