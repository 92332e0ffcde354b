#include "platform/registry/registry.h"
#include "platform/registry_testprefix.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// A user registry with one key holding every value form the files use.
const std::string ValueForms = UserRegHeader() + R"(
[Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1] 1700000000
#time=1da1b2c3d4e5f60
#class="Game profile"
@="default \"quoted\""
"Name"="Back\\slash \"q\" tab\t nl\n u\x00fc x\xe9 oct\101 raw:)" "\xc3\xbc" R"("
"Char"=hex:37,00,00,00
"Color"=hex:10,18,\
  20,28
"Count"=dword:0000002a
"Path"=str(2):"%ProgramFiles%\\Zarn"
"List"=str(7):"one\0two\0"
"RawExpand"=hex(2):41,00,42,00,00,00
"Empty"=hex:
"Euro"="\x20ac and \x263a"
)";

TEST(RegistryRead, ValueFormsOfTheFileAsAnAnsiProgramSeesThem)
{
    TestPrefix prefix;
    prefix.Write("user.reg", ValueForms);
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser,
                                "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1");
    ASSERT_TRUE(key);

    EXPECT_EQ(key->ReadString(""), "default \"quoted\"");
    EXPECT_EQ(key->ReadString("Name"), "Back\\slash \"q\" tab\t nl\n u\xFC x\xE9 oct" "A raw:\xFC");

    auto character = key->ReadValue("Char");
    ASSERT_TRUE(character);
    EXPECT_EQ(character->type, RegistryValueType::Binary);
    EXPECT_EQ(character->data, (std::vector<std::uint8_t>{0x37, 0, 0, 0}));
    EXPECT_EQ(key->ReadValue("Color")->data, (std::vector<std::uint8_t>{0x10, 0x18, 0x20, 0x28}));

    auto count = key->ReadValue("Count");
    EXPECT_EQ(count->type, RegistryValueType::Dword);
    EXPECT_EQ(count->data, (std::vector<std::uint8_t>{0x2A, 0, 0, 0}));

    auto path = key->ReadValue("Path");
    EXPECT_EQ(path->type, RegistryValueType::ExpandString);
    EXPECT_EQ(path->data, Bytes(std::string_view("%ProgramFiles%\\Zarn\0", 20)));
    EXPECT_EQ(key->ReadString("Path"), "%ProgramFiles%\\Zarn");

    auto list = key->ReadValue("List");
    EXPECT_EQ(list->type, RegistryValueType::MultiString);
    EXPECT_EQ(list->data, Bytes(std::string_view("one\0two\0\0", 9)));

    // String data written in hex form still converts to the code page.
    auto rawExpand = key->ReadValue("RawExpand");
    EXPECT_EQ(rawExpand->type, RegistryValueType::ExpandString);
    EXPECT_EQ(rawExpand->data, Bytes(std::string_view("AB\0", 3)));

    EXPECT_TRUE(key->ReadValue("Empty")->data.empty());
    // The euro sign is in the code page, the smiley is not.
    EXPECT_EQ(key->ReadString("Euro"), "\x80 and ?");
    EXPECT_FALSE(key->ReadValue("Missing"));
    EXPECT_FALSE(key->ReadString("Missing"));
}

TEST(RegistryRead, TextOfAnotherTypeIsAFailure)
{
    TestPrefix prefix;
    prefix.Write("user.reg", ValueForms);
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser,
                                "Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1");
    ASSERT_TRUE(key);
    EXPECT_THROW(key->ReadString("Count"), RegistryError);
    EXPECT_THROW(key->ReadString("Char"), RegistryError);
    EXPECT_THROW(key->ReadString("List"), RegistryError);
}

TEST(RegistryRead, NamesMatchWithoutRegardToCase)
{
    TestPrefix prefix;
    prefix.Write("user.reg", ValueForms + "\n[Software\\\\\\xc4rger] 1\n\"\\xc9t\\xe9\"=\"accents\"\n");
    Registry registry(prefix.Path());

    auto key = registry.OpenKey(RegistryHive::CurrentUser,
                                "SOFTWARE\\krell playware\\ZARN TUMBLEWICK 2\\1.24\\player1");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadValue("cHaR")->data, (std::vector<std::uint8_t>{0x37, 0, 0, 0}));
    EXPECT_EQ(key->ReadString("NAME"), key->ReadString("Name"));

    // Letters beyond ASCII fold as well.
    auto accented = registry.OpenKey(RegistryHive::CurrentUser, "software\\\xE4rger");
    ASSERT_TRUE(accented);
    EXPECT_EQ(accented->ReadString("\xC9T\xC9"), "accents");
    EXPECT_EQ(accented->ReadString("\xE9t\xE9"), "accents");

    // Doubled and trailing separators are ignored; other names are not.
    EXPECT_TRUE(registry.OpenKey(RegistryHive::CurrentUser, "Software\\\\Krell Playware\\"));
    EXPECT_FALSE(registry.OpenKey(RegistryHive::CurrentUser, "Software\\Krell Playwar"));
    EXPECT_FALSE(registry.OpenKey(RegistryHive::CurrentUser, "Software\\Krell Playware\\Zarn Tumblewick 2\\1.2"));
}

TEST(RegistryRead, SubkeysComeInCaseInsensitiveOrderIncludingImpliedKeys)
{
    TestPrefix prefix;
    // Written out of order; "Implied" has no section of its own.
    prefix.Write("user.reg", UserRegHeader() + R"(
[Software\\Order\\zarnC] 1
[Software\\Order\\ZarnB] 1
[Software\\Order\\Zarn_A] 1
[Software\\Order\\ZARNa] 1
[Software\\Order\\Zarn\[x\]] 1
[Software\\Order\\Zarn2] 1
[Software\\Order\\Implied\\Deeper\\Deepest] 1
"V"="1"
)");
    Registry registry(prefix.Path());
    auto order = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Order");
    ASSERT_TRUE(order);
    // The order Wine lists them in: by lower-case name, so '[' and '_' come
    // before the letters.
    EXPECT_EQ(order->SubkeyNames(),
              (std::vector<std::string>{"Implied", "Zarn2", "Zarn[x]", "Zarn_A", "ZARNa", "ZarnB", "zarnC"}));

    auto implied = registry.OpenKey(RegistryHive::CurrentUser, "software\\order\\implied");
    ASSERT_TRUE(implied);
    EXPECT_EQ(implied->SubkeyNames(), std::vector<std::string>{"Deeper"});
    EXPECT_FALSE(implied->ReadValue("V"));
    EXPECT_TRUE(registry.OpenKey(RegistryHive::CurrentUser, "Software\\Order\\Zarn[x]"));
}

TEST(RegistryRead, MachineSoftwareIsSeenThroughWow6432NodeInA64BitPrefix)
{
    const std::string keys = R"(
[Software\\Krell Playware\\Zarn Tumblewick 2] 1
"InstallDir"="C:\\Native\\"

[Software\\Wow6432Node\\Krell Playware\\Zarn Tumblewick 2] 1
"InstallDir"="C:\\Redirected\\"
)";
    const std::string userKeys = "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2] 1\n\"Where\"=\"user\"\n";
    TestPrefix win64;
    win64.Write("system.reg", MachineRegHeader(true) + keys);
    win64.Write("user.reg", "WINE REGISTRY Version 2\n#arch=win64\n" + userKeys);
    TestPrefix win32;
    win32.Write("system.reg", MachineRegHeader(false) + keys);

    Registry registry64(win64.Path());
    auto game = registry64.OpenKey(RegistryHive::LocalMachine, "\\Software\\Krell Playware\\Zarn Tumblewick 2");
    ASSERT_TRUE(game);
    EXPECT_EQ(game->ReadString("InstallDir"), "C:\\Redirected\\");
    EXPECT_EQ(registry64.OpenKey(RegistryHive::LocalMachine, "software")->SubkeyNames(),
              std::vector<std::string>{"Krell Playware"});
    // An explicit Wow6432Node path is not redirected twice.
    EXPECT_TRUE(registry64.OpenKey(RegistryHive::LocalMachine, "Software\\Wow6432Node\\Krell Playware"));
    // The per-user branch is shared between 32- and 64-bit programs.
    EXPECT_EQ(registry64.OpenKey(RegistryHive::CurrentUser, "Software\\Krell Playware\\Zarn Tumblewick 2")
                  ->ReadString("Where"),
              "user");

    Registry registry32(win32.Path());
    auto native = registry32.OpenKey(RegistryHive::LocalMachine, "Software\\Krell Playware\\Zarn Tumblewick 2");
    ASSERT_TRUE(native);
    EXPECT_EQ(native->ReadString("InstallDir"), "C:\\Native\\");
}

TEST(RegistryRead, AMissingPrefixOrFileIsAnEmptyRegistry)
{
    TestPrefix prefix;
    Registry missingPrefix(prefix.Path() / "no-such-prefix");
    EXPECT_FALSE(missingPrefix.OpenKey(RegistryHive::CurrentUser, "Software"));
    EXPECT_FALSE(missingPrefix.OpenKey(RegistryHive::LocalMachine, "Software\\Krell Playware"));
    auto root = missingPrefix.OpenKey(RegistryHive::CurrentUser, "");
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->SubkeyNames().empty());
    EXPECT_FALSE(std::filesystem::exists(prefix.Path() / "no-such-prefix"));

    prefix.Write("system.reg", MachineRegHeader(false) + "\n[Software] 1\n");
    Registry onlyMachine(prefix.Path());
    EXPECT_FALSE(onlyMachine.OpenKey(RegistryHive::CurrentUser, "Software"));
    EXPECT_TRUE(onlyMachine.OpenKey(RegistryHive::LocalMachine, "Software"));
}

TEST(RegistryRead, OnlyAFileWithoutTheHeaderIsAFailure)
{
    const std::string key = "\n[Software\\\\Zarn] 1\n\"Name\"=\"x\"\n";
    for (const std::string& text : {"WINE REGISTRY Version 1\n" + key, "REGEDIT4\n" + key,
                                     std::string("\0\0\0\0\n", 5) + UserRegHeader() + key}) {
        SCOPED_TRACE(text);
        TestPrefix prefix;
        prefix.Write("user.reg", text);
        Registry registry(prefix.Path());
        EXPECT_THROW(registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn"), RegistryError);
        EXPECT_EQ(prefix.Read("user.reg"), text);
    }
}

TEST(RegistryRead, ADamagedLineIsSkippedAndTheRestStillReads)
{
    // Each of these lines alone cannot be read; Wine skips it and so do we.
    const std::vector<std::string> damaged{
        "\"Name\"=\"no closing quote\n",
        "\"Name\"=\"text\" trailing\n",
        "\"Name=\"x\"\n",
        "\"Blob\"=hex:01,zz\n",
        "\"Blob\"=hex:123\n",
        "\"Count\"=dword:123456789\n",
        "\"Count\"=dword:\n",
        "\"Kind\"=hex(zz):00\n",
        "\"Kind\"=weird:00\n",
        "\"Name\" \"x\"\n",
        "garbage line\n",
        std::string("\"Name\"=\"a\0b\"\n", 13),
        std::string(300, '\0') + "\n",
        "\"Blob\"=hex:01,\\\n  zz,02\n",              // bad on its continuation line
        "\"Blob\"=hex:01,\\\n\"Name\"=\"taken as data\"\n", // the next line is swallowed, as Wine does
    };
    for (const std::string& line : damaged) {
        SCOPED_TRACE(line);
        TestPrefix prefix;
        prefix.Write("user.reg", UserRegHeader() + "\n[Software\\\\Zarn] 1\n\"Before\"=\"b\"\n" + line
                                     + "\"After\"=dword:00000007\n\n[Software\\\\Next] 2\n\"Here\"=\"h\"\n");
        Registry registry(prefix.Path());
        auto key = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn");
        ASSERT_TRUE(key);
        EXPECT_EQ(key->ReadString("Before"), "b");
        EXPECT_EQ(key->ReadValue("After")->data, (std::vector<std::uint8_t>{7, 0, 0, 0}));
        EXPECT_FALSE(key->ReadValue("Name"));
        EXPECT_FALSE(key->ReadValue("Blob"));
        EXPECT_FALSE(key->ReadValue("Count"));
        EXPECT_EQ(registry.OpenKey(RegistryHive::CurrentUser, "Software\\Next")->ReadString("Here"), "h");
    }

    // The values under a damaged key line belong to no key: they do not
    // slip into the key before it.
    TestPrefix prefix;
    prefix.Write("user.reg", UserRegHeader() + "\n[Software\\\\Zarn] 1\n\"A\"=\"a\"\n\n[Software\\\\Broken 2\n"
                                 "#time=1\n\"B\"=\"b\"\n\n[Software\\\\Next] 3 ignored text\n\"C\"=\"c\"\n"
                                 "\"Orphan\"=hex:01,\\\n");
    Registry registry(prefix.Path());
    auto zarn = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn");
    EXPECT_EQ(zarn->ReadString("A"), "a");
    EXPECT_FALSE(zarn->ReadValue("B"));
    EXPECT_EQ(registry.OpenKey(RegistryHive::CurrentUser, "Software")->SubkeyNames(),
              (std::vector<std::string>{"Next", "Zarn"}));
    auto next = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Next");
    EXPECT_EQ(next->ReadString("C"), "c");
    EXPECT_FALSE(next->ReadValue("Orphan"));
}

TEST(RegistryRead, HostileNestingAndLongNamesAreHandled)
{
    TestPrefix prefix;
    std::string deep = "[Deep";
    for (int level = 0; level < 300000; ++level)
        deep += "\\\\d";
    const std::string longName(100000, 'n');
    prefix.Write("user.reg", UserRegHeader() + "\n" + deep + "] 1\n\n[Software\\\\" + longName + "] 1\n\"" + longName
                                 + "\"=\"long\"\n");
    {
        Registry registry(prefix.Path());
        auto top = registry.OpenKey(RegistryHive::CurrentUser, "Deep\\d\\d");
        ASSERT_TRUE(top);
        EXPECT_EQ(top->SubkeyNames(), std::vector<std::string>{"d"});
        auto named = registry.OpenKey(RegistryHive::CurrentUser, "Software\\" + longName);
        ASSERT_TRUE(named);
        EXPECT_EQ(named->ReadString(longName), "long");
    }
}

TEST(RegistryRead, ToleratedVariations)
{
    TestPrefix prefix;
    // No line end at the end, blank lines with spaces, comments inside a
    // key, options Wine may add, an empty file for the machine hive.
    prefix.Write("user.reg", UserRegHeader() + "\n[Software\\\\Zarn]\n  \n;comment\n#link\n"
                                 "  \"Indented\" = \"yes\"\n\"Last\"=dword:1");
    prefix.Write("system.reg", "");
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("Indented"), "yes");
    EXPECT_EQ(key->ReadValue("Last")->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_FALSE(registry.OpenKey(RegistryHive::LocalMachine, "Software"));
}

TEST(RegistryRead, AKeySeesLaterChangesOfTheFile)
{
    TestPrefix prefix;
    prefix.Write("user.reg", UserRegHeader() + "\n[Software\\\\Zarn] 1\n\"Name\"=\"first\"\n");
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("Name"), "first");

    // Replaced the way Wine replaces it: a new file renamed over the old.
    TestPrefix other;
    other.Write("user.reg", UserRegHeader() + "\n[Software\\\\Zarn] 2\n\"Name\"=\"second\"\n[Software\\\\Zarn\\\\New] 2\n");
    std::filesystem::rename(other.File("user.reg"), prefix.File("user.reg"));
    EXPECT_EQ(key->ReadString("Name"), "second");
    EXPECT_EQ(key->SubkeyNames(), std::vector<std::string>{"New"});

    prefix.Write("user.reg", UserRegHeader() + "\n[Software\\\\Other] 3\n");
    EXPECT_THROW(key->ReadString("Name"), RegistryError);
}

TEST(RegistryRead, AClosedKeyRefusesEveryOperation)
{
    TestPrefix prefix;
    prefix.Write("user.reg", UserRegHeader() + "\n[Software\\\\Zarn] 1\n\"Name\"=\"x\"\n");
    Registry registry(prefix.Path());
    auto key = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Zarn", RegistryAccess::ReadWrite);
    ASSERT_TRUE(key);
    key->Close();
    EXPECT_FALSE(key->IsOpen());
    EXPECT_THROW(key->ReadString("Name"), RegistryError);
    EXPECT_THROW(key->SubkeyNames(), RegistryError);
    EXPECT_THROW(key->WriteString("Name", "y"), RegistryError);
    key->Close();
}

TEST(RegistryRead, DefaultPrefixFollowsTheEnvironment)
{
    const char* savedPrefix = std::getenv("WINEPREFIX");
    const std::string saved = savedPrefix ? savedPrefix : "";
    ::setenv("WINEPREFIX", "/somewhere/prefix", 1);
    EXPECT_EQ(Registry::DefaultPrefix(), std::filesystem::path("/somewhere/prefix"));
    ::unsetenv("WINEPREFIX");
    if (const char* home = std::getenv("HOME")) {
        EXPECT_EQ(Registry::DefaultPrefix(), std::filesystem::path(home) / ".wine");
    }
    if (savedPrefix)
        ::setenv("WINEPREFIX", saved.c_str(), 1);
}

} // namespace
