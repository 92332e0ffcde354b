#include "platform/registry/registry.h"
#include "platform/registry_testprefix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

const std::string PlayerKeyLine = "[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.24\\\\Player1]";
const std::string PlayerPath = "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1";

const std::string Profiles = UserRegHeader() + R"(
[Control Panel\\Colors] 1700000000
#time=1da1b2c3d4e5f60
"ActiveBorder"="212 208 200"

[Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1] 1700000001
#time=1da1b2c3d4e5f61
"Char"=hex:37,00,00,00
"Name"="Old name"
"Zeta"=str(2):"%Keep%\\this"

[Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player2] 1700000002
#time=1da1b2c3d4e5f62
#class="profile"
@="default"
"Big"=hex(b):00,00,00,00,01,00,00,00
"Multi"=hex(7):41,00,00,00,42,00,00,00,00,00
"Unterminated"=hex(1):41,00
"Blob"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\
  15,16,17
;; a comment Wine would drop, which we keep
"Name"="Other"
)";

struct Stamp {
    long long seconds = -1;
    unsigned long long ticks = 0;
};

// Replaces the time stamps of the key whose line starts with `keyLine` by
// fixed markers, returning the text and the stamps found.
std::string MaskStamps(std::string text, const std::string& keyLine, Stamp& stamp)
{
    const std::size_t line = text.find(keyLine);
    if (line == std::string::npos)
        return text;
    const std::size_t tail = line + keyLine.size();
    const std::size_t lineEnd = text.find('\n', tail);
    stamp.seconds = std::stoll(text.substr(tail, lineEnd - tail));
    text.replace(tail, lineEnd - tail, " <seconds>");
    const std::size_t timeLine = text.find('\n', tail) + 1;
    if (text.compare(timeLine, 6, "#time=") == 0) {
        const std::size_t timeEnd = text.find('\n', timeLine);
        stamp.ticks = std::stoull(text.substr(timeLine + 6, timeEnd - timeLine - 6), nullptr, 16);
        text.replace(timeLine, timeEnd - timeLine, "#time=<ticks>");
    }
    return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    if (at == std::string::npos)
        throw std::logic_error("test text lacks " + from);
    return text.replace(at, from.size(), to);
}

long long Now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TEST(RegistryWrite, OnlyTheWrittenValuesAndTheKeyStampChange)
{
    TestPrefix prefix;
    prefix.Write("user.reg", Profiles);
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite);
    ASSERT_TRUE(key);

    const long long before = Now();
    key->WriteString("name", "Zarn");
    const std::uint8_t character[4] = {89, 0, 0, 0};
    key->WriteBinary("Char", character);
    const std::uint8_t colors[4] = {16, 24, 32, 40};
    key->WriteBinary("Color", colors);
    const long long after = Now();

    std::string expected = Replace(Profiles, "\"Name\"=\"Old name\"", "\"Name\"=\"Zarn\"");
    expected = Replace(expected, "\"Char\"=hex:37,00,00,00\n", "\"Char\"=hex:59,00,00,00\n\"Color\"=hex:10,18,20,28\n");
    expected = Replace(expected, PlayerKeyLine + " 1700000001\n#time=1da1b2c3d4e5f61",
                       PlayerKeyLine + " <seconds>\n#time=<ticks>");
    Stamp stamp;
    EXPECT_EQ(MaskStamps(prefix.Read("user.reg"), PlayerKeyLine, stamp), expected);

    EXPECT_GE(stamp.seconds, before);
    EXPECT_LE(stamp.seconds, after);
    // Both stamps name the same moment, one in seconds since 1970, the other
    // in 100 ns ticks since 1601.
    EXPECT_EQ(static_cast<long long>(stamp.ticks / 10000000ULL) - 11644473600LL, stamp.seconds);

    // A second handle, and the one that wrote, read the new values.
    auto reread = Registry(prefix.Path()).OpenKey(RegistryHive::CurrentUser, PlayerPath);
    EXPECT_EQ(reread->ReadString("Name"), "Zarn");
    EXPECT_EQ(reread->ReadValue("Char")->data, (std::vector<std::uint8_t>{89, 0, 0, 0}));
    EXPECT_EQ(key->ReadValue("Color")->data, (std::vector<std::uint8_t>{16, 24, 32, 40}));
    EXPECT_EQ(key->ReadString("Zeta"), "%Keep%\\this");
}

TEST(RegistryWrite, WritingTheStoredValueAgainChangesNothing)
{
    TestPrefix prefix;
    prefix.Write("user.reg", Profiles);
    struct stat before {};
    ASSERT_EQ(::stat(prefix.File("user.reg").c_str(), &before), 0);

    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite);
    key->WriteString("Name", "Old name");
    const std::uint8_t character[4] = {0x37, 0, 0, 0};
    key->WriteBinary("CHAR", character);

    struct stat after {};
    ASSERT_EQ(::stat(prefix.File("user.reg").c_str(), &after), 0);
    EXPECT_EQ(prefix.Read("user.reg"), Profiles);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST(RegistryWrite, TheFileIsReplacedAtomicallyWithItsPermissions)
{
    TestPrefix prefix;
    prefix.Write("user.reg", Profiles);
    ASSERT_EQ(::chmod(prefix.File("user.reg").c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(::stat(prefix.File("user.reg").c_str(), &before), 0);

    Registry registry(prefix.Path());
    registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite)->WriteString("Name", "New");

    struct stat after {};
    ASSERT_EQ(::stat(prefix.File("user.reg").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(prefix.Path()))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"user.reg"});
}

TEST(RegistryWrite, ALinkedRegistryFileIsWrittenThroughTheLink)
{
    TestPrefix prefix;
    prefix.Write("real.reg", Profiles);
    fs::create_symlink("real.reg", prefix.File("user.reg"));

    Registry registry(prefix.Path());
    registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite)->WriteString("Name", "New");

    EXPECT_TRUE(fs::is_symlink(prefix.File("user.reg")));
    EXPECT_NE(prefix.Read("real.reg").find("\"Name\"=\"New\""), std::string::npos);
}

TEST(RegistryWrite, RefusedWritesLeaveTheFileAsItWas)
{
    TestPrefix prefix;
    prefix.Write("user.reg", Profiles);
    Registry registry(prefix.Path());
    const std::uint8_t bytes[4] = {1, 2, 3, 4};

    // Opened for reading only.
    auto readOnlyKey = registry.OpenKey(RegistryHive::CurrentUser, PlayerPath);
    EXPECT_THROW(readOnlyKey->WriteString("Name", "New"), RegistryError);
    EXPECT_THROW(readOnlyKey->WriteBinary("Char", bytes), RegistryError);
    EXPECT_EQ(prefix.Read("user.reg"), Profiles);

    // A read-only file, even for a user who could replace it.
    auto key = registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite);
    ASSERT_EQ(::chmod(prefix.File("user.reg").c_str(), 0444), 0);
    EXPECT_THROW(key->WriteString("Name", "New"), RegistryError);
    EXPECT_EQ(prefix.Read("user.reg"), Profiles);
    struct stat st {};
    ASSERT_EQ(::stat(prefix.File("user.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    ASSERT_EQ(::chmod(prefix.File("user.reg").c_str(), 0644), 0);

    // The file stopped being a registry file after the key was opened.
    const std::string damaged = std::string(64, '\0') + Profiles;
    prefix.Write("user.reg", damaged);
    EXPECT_THROW(key->WriteString("Name", "New"), RegistryError);
    EXPECT_EQ(prefix.Read("user.reg"), damaged);

    // The key was deleted after it was opened: nothing is created.
    const std::string withoutKey = UserRegHeader() + "\n[Software\\\\Krell Playware] 1\n";
    prefix.Write("user.reg", withoutKey);
    EXPECT_THROW(key->WriteBinary("Char", bytes), RegistryError);
    EXPECT_EQ(prefix.Read("user.reg"), withoutKey);

    // No key can be opened, so none written, in a prefix without a file.
    TestPrefix empty;
    EXPECT_FALSE(Registry(empty.Path()).OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite));
    EXPECT_FALSE(fs::exists(empty.File("user.reg")));
}

TEST(RegistryWrite, NonAsciiTextRoundTripsThroughTheCodePage)
{
    TestPrefix prefix;
    prefix.Write("user.reg", Profiles);
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite);

    key->WriteString("Name", "J\xFCrgen \x80 M\xFC" "de");
    // Wine's escapes: the short form, or four digits before a hex digit.
    EXPECT_NE(prefix.Read("user.reg").find("\"Name\"=\"J\\xfcrgen \\x20ac M\\x00fcde\"\n"), std::string::npos);
    EXPECT_EQ(key->ReadString("Name"), "J\xFCrgen \x80 M\xFC" "de");

    // Every byte but zero survives, including the five the code page leaves
    // undefined and the characters that need escapes.
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte.push_back(static_cast<char>(c));
    key->WriteString("All", everyByte);
    EXPECT_EQ(Registry(prefix.Path()).OpenKey(RegistryHive::CurrentUser, PlayerPath)->ReadString("All"), everyByte);

    // A value name outside ASCII is escaped the same way.
    key->WriteString("Gr\xF6\xDF" "e", "big");
    EXPECT_NE(prefix.Read("user.reg").find("\"Gr\\xf6\\x00dfe\"=\"big\""), std::string::npos);
    EXPECT_EQ(key->ReadString("GR\xD6\xDF" "E"), "big");
}

TEST(RegistryWrite, AStoredTextOurCodePageCannotHoldIsKeptUntilChanged)
{
    TestPrefix prefix;
    std::string stored = Profiles;
    stored.replace(stored.find("Old name"), 8, "\\x141ukasz");
    prefix.Write("user.reg", stored);
    auto key = Registry(prefix.Path(), 1252).OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite);
    EXPECT_EQ(key->ReadString("Name"), "?ukasz");
    key->WriteString("Name", "?ukasz");
    EXPECT_EQ(prefix.Read("user.reg"), stored);
    EXPECT_EQ(Registry(prefix.Path(), 1250).OpenKey(RegistryHive::CurrentUser, PlayerPath)->ReadString("Name"),
              "\xA3ukasz");

    key->WriteString("Name", "?ukasz!");
    EXPECT_EQ(Registry(prefix.Path(), 1250).OpenKey(RegistryHive::CurrentUser, PlayerPath)->ReadString("Name"),
              "?ukasz!");
}

TEST(RegistryWrite, AKeyKnownOnlyFromItsSubkeysGetsItsOwnSection)
{
    TestPrefix prefix;
    prefix.Write("user.reg", Profiles);
    Registry registry(prefix.Path());
    auto version = registry.OpenKey(RegistryHive::CurrentUser, "software\\krell playware\\zarn tumblewick 2\\1.24",
                                    RegistryAccess::ReadWrite);
    ASSERT_TRUE(version);
    version->WriteString("", "default");

    const std::string versionLine = "[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.24]";
    Stamp stamp;
    const std::string expected =
        Replace(Profiles, PlayerKeyLine, versionLine + " <seconds>\n#time=<ticks>\n@=\"default\"\n\n" + PlayerKeyLine);
    EXPECT_EQ(MaskStamps(prefix.Read("user.reg"), versionLine, stamp), expected);

    auto reread = Registry(prefix.Path()).OpenKey(RegistryHive::CurrentUser, "Software\\Krell Playware\\Zarn Tumblewick 2\\1.24");
    EXPECT_EQ(reread->ReadString(""), "default");
    EXPECT_EQ(reread->SubkeyNames(), (std::vector<std::string>{"Player1", "Player2"}));
}

TEST(RegistryWrite, LongBinaryDataWrapsAsWineWrapsIt)
{
    TestPrefix prefix;
    prefix.Write("user.reg", Profiles);
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite);
    std::vector<std::uint8_t> data(70);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    key->WriteBinary("FilterData", data);

    // Wine puts 20 bytes on the first line of this name and 25 on each
    // following one.
    const std::string text = prefix.Read("user.reg");
    const std::size_t first = text.find("\"FilterData\"=hex:");
    ASSERT_NE(first, std::string::npos);
    std::vector<std::size_t> bytesPerLine;
    std::size_t lineStart = first;
    for (int lines = 0; lines < 10; ++lines) {
        const std::size_t lineEnd = text.find('\n', lineStart);
        const std::string line = text.substr(lineStart, lineEnd - lineStart);
        bytesPerLine.push_back(static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')));
        EXPECT_LE(line.size(), 80u);
        lineStart = lineEnd + 1;
        if (line.back() != '\\')
            break;
        EXPECT_EQ(text.compare(lineStart, 2, "  "), 0);
    }
    EXPECT_EQ(bytesPerLine, (std::vector<std::size_t>{20, 25, 24}));
    EXPECT_EQ(Registry(prefix.Path()).OpenKey(RegistryHive::CurrentUser, PlayerPath)->ReadValue("FilterData")->data,
              data);
}

TEST(RegistryWrite, LineEndsAndAMissingFinalLineEndAreKept)
{
    TestPrefix prefix;
    std::string crlf;
    for (char c : Profiles) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    crlf += "[Software\\\\Last] 1\r\n\"End\"=dword:00000001";
    prefix.Write("user.reg", crlf);
    Registry registry(prefix.Path());

    registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite)->WriteString("Added", "x");
    registry.OpenKey(RegistryHive::CurrentUser, "Software\\Last", RegistryAccess::ReadWrite)->WriteString("Zed", "z");

    const std::string text = prefix.Read("user.reg");
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        ASSERT_EQ(text[at - 1], '\r') << "bare line end at byte " << at;
    EXPECT_NE(text.find("\"Added\"=\"x\"\r\n\"Char\""), std::string::npos);
    EXPECT_TRUE(text.ends_with("\"End\"=dword:00000001\r\n\"Zed\"=\"z\"\r\n"));
    EXPECT_EQ(registry.OpenKey(RegistryHive::CurrentUser, "Software\\Last")->ReadString("Zed"), "z");
}

TEST(RegistryWrite, KeysWithOddCharactersKeepTheirLines)
{
    TestPrefix prefix;
    const std::string oddLine = "[Software\\\\Odd \\[1\\] \"q\" \\xe4 \\x263a]";
    const std::string text = UserRegHeader() + "\n" + oddLine + " 5\n\"V\"=\"1\"\n";
    prefix.Write("user.reg", text);
    Registry registry(prefix.Path());

    auto software = registry.OpenKey(RegistryHive::CurrentUser, "Software");
    // A character without a code page form reads as '?', and such a name
    // cannot be opened by an ANSI program.
    EXPECT_EQ(software->SubkeyNames(), std::vector<std::string>{"Odd [1] \"q\" \xE4 ?"});
    EXPECT_FALSE(registry.OpenKey(RegistryHive::CurrentUser, "Software\\Odd [1] \"q\" \xE4 ?"));

    // Sections are matched by the decoded name, and the key line keeps its
    // own spelling.
    prefix.Write("user.reg", UserRegHeader() + "\n[Software\\\\Odd \\[1\\] \\\"q\\\" \\xe4] 5\n\"V\"=\"1\"\n");
    auto odd = registry.OpenKey(RegistryHive::CurrentUser, "software\\ODD [1] \"Q\" \xC4", RegistryAccess::ReadWrite);
    ASSERT_TRUE(odd);
    odd->WriteString("V", "2");
    EXPECT_TRUE(prefix.Read("user.reg").starts_with(UserRegHeader() + "\n[Software\\\\Odd \\[1\\] \\\"q\\\" \\xe4] "));
    EXPECT_EQ(odd->ReadString("V"), "2");
}

TEST(RegistryWrite, ARepeatedKeySectionIsChangedWhereTheValueIs)
{
    TestPrefix prefix;
    const std::string text = UserRegHeader() + "\n[Software\\\\Twice] 1\n\"A\"=\"first\"\n\n[Software\\\\Other] 1\n\n"
                             "[Software\\\\Twice] 2\n\"B\"=\"second\"\n";
    prefix.Write("user.reg", text);
    Registry registry(prefix.Path());
    auto twice = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Twice", RegistryAccess::ReadWrite);
    EXPECT_EQ(twice->ReadString("A"), "first");
    EXPECT_EQ(twice->ReadString("B"), "second");
    twice->WriteString("A", "changed");
    twice->WriteString("C", "new");
    const std::string written = prefix.Read("user.reg");
    EXPECT_LT(written.find("\"A\"=\"changed\""), written.find("[Software\\\\Other]"));
    EXPECT_GT(written.find("\"C\"=\"new\""), written.find("\"B\"=\"second\""));
}

TEST(RegistryWrite, UnreadableLinesAreKeptByteForByte)
{
    TestPrefix prefix;
    const std::string before = UserRegHeader() + "\n[Software\\\\Zarn] 1\n#time=1\n\"Bad\"=hex:01,zz\n"
                               "\"Name\"=\"Old\"\r\ngarbage \x01\xff line\n" + std::string("\"Z\"=\"a\0b\"\n", 11)
                               + "\n[Software\\\\Broken 2\n\"Name\"=\"orphan\"\n\n[Software\\\\Last] 3\n"
                                 "\"Cut\"=hex:01,\\\n";
    prefix.Write("user.reg", before);
    Registry registry(prefix.Path());
    auto zarn = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn", RegistryAccess::ReadWrite);
    zarn->WriteString("Name", "New");
    zarn->WriteString("Added", "x");
    registry.OpenKey(RegistryHive::CurrentUser, "Software\\Last", RegistryAccess::ReadWrite)->WriteString("V", "v");

    std::string expected = Replace(before, "\"Name\"=\"Old\"\r\n", "\"Added\"=\"x\"\n\"Name\"=\"New\"\n");
    expected = Replace(expected, "[Software\\\\Zarn] 1\n#time=1\n", "[Software\\\\Zarn] <seconds>\n#time=<ticks>\n");
    expected = Replace(expected, "[Software\\\\Last] 3\n", "[Software\\\\Last] <seconds>\n\"V\"=\"v\"\n");
    Stamp stamp;
    std::string after = MaskStamps(prefix.Read("user.reg"), "[Software\\\\Zarn]", stamp);
    after = MaskStamps(after, "[Software\\\\Last]", stamp);
    EXPECT_EQ(after, expected);
    EXPECT_EQ(registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn")->ReadString("Name"), "New");
}

TEST(RegistryWrite, FilesEndingMidLineTakeAWrite)
{
    struct Case {
        std::string text;  // ends inside the key Software\Last
        std::string end;   // pattern of the file's end after writing "V"="v"
    };
    const std::string crlfHead = "WINE REGISTRY Version 2\r\n#arch=win32\r\n\r\n";
    const std::vector<Case> cases{
        // A CR LF file whose last line ends in a lone CR.
        {crlfHead + "[Software\\\\Last] 1\r\n\"A\"=\"a\"\r", R"(\] \d+\r\n"A"="a"\r\n"V"="v"\r\n$)"},
        // A key line at the very end, without time stamp or line end.
        {UserRegHeader() + "\n[Software\\\\Last]", R"(\] \d+\n"V"="v"\n$)"},
        {crlfHead + "[Software\\\\Last]\r", R"(\] \d+\r\n"V"="v"\r\n$)"},
        {UserRegHeader() + "\n[Software\\\\Last] 1\n#time=1", R"(\] \d+\n#time=[0-9a-f]+\n"V"="v"\n$)"},
        {UserRegHeader() + "\n[Software\\\\Last] 1\n\"Cut\"=hex:01,\\", R"(\] \d+\n"V"="v"\n"Cut"=hex:01,\\$)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TestPrefix prefix;
        prefix.Write("user.reg", c.text);
        Registry registry(prefix.Path());
        auto key = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Last", RegistryAccess::ReadWrite);
        ASSERT_TRUE(key);
        ASSERT_NO_THROW(key->WriteString("V", "v"));
        const std::string after = prefix.Read("user.reg");
        EXPECT_TRUE(std::regex_search(after, std::regex(R"(\[Software\\\\Last)" + c.end))) << after;
        EXPECT_EQ(Registry(prefix.Path()).OpenKey(RegistryHive::CurrentUser, "Software\\Last")->ReadString("V"), "v");
    }
}

} // namespace
