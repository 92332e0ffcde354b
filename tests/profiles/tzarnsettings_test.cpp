#include "profiles/tzarnsettings.h"
#include "platform/registry_testprefix.h"

#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

const std::string PlayerPath = "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1";

// A user registry around one profile key whose value lines are `values`.
std::string UserReg(const std::string& values)
{
    return UserRegHeader() + "\n[Control Panel\\\\Colors] 1700000000\n\"Window\"=\"255 255 255\"\n"
           "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.24\\\\Player1] 1700000001\n"
           "#time=1da1b2c3d4e5f61\n" + values
           + "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.24\\\\Player2] 1700000002\n\"Name\"=\"Two\"\n";
}

struct Profile {
    std::string name;
    std::int32_t character;
    std::array<std::int32_t, 4> colors;
    bool operator==(const Profile&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Profile& p)
{
    return out << '"' << p.name << "\" " << p.character << " [" << p.colors[0] << ' ' << p.colors[1] << ' '
               << p.colors[2] << ' ' << p.colors[3] << ']';
}

Profile Seen(const TZarnSettings& settings)
{
    return {settings.Name(), settings.Character(),
            {settings.GetColor(1), settings.GetColor(2), settings.GetColor(3), settings.GetColor(4)}};
}

Profile LoadFrom(const std::string& userReg, const std::string& keyPath = PlayerPath)
{
    TestPrefix prefix;
    prefix.Write("user.reg", userReg);
    TZarnSettings settings{Registry(prefix.Path())};
    settings.SetName("stale");
    settings.KeyPath = keyPath;
    settings.Load();
    EXPECT_FALSE(settings.Modified());
    return Seen(settings);
}

// The file with the profile key's time stamps replaced by markers.
std::string MaskPlayerStamps(const std::string& text)
{
    static const std::regex stamps(R"((\\\\Player1\]) \d+\n#time=[0-9a-f]+\n)");
    return std::regex_replace(text, stamps, "$1 <stamp>\n#time=<ticks>\n");
}

TEST(TZarnSettings, LoadReadsTheGamesFormAndFallsBackAsTheGameDoes)
{
    const std::string complete = "\"Char\"=hex:59,00,00,00\n\"Color\"=hex:05,07,48,ff\n\"Name\"=\"Pockz\"\n";
    EXPECT_EQ(LoadFrom(UserReg(complete)), (Profile{"Pockz", 89, {5, 7, 72, 255}}));

    // Absent values take the game's defaults; a missing key takes none.
    EXPECT_EQ(LoadFrom(UserReg("")), (Profile{"", 55, {16, 24, 32, 40}}));
    EXPECT_EQ(LoadFrom(UserReg(complete), PlayerPath + "x"), (Profile{"", 0, {0, 0, 0, 0}}));
    EXPECT_EQ(LoadFrom(""), (Profile{"", 0, {0, 0, 0, 0}}));

    // Shorter values fill the low bytes; empty ones count as absent.
    EXPECT_EQ(LoadFrom(UserReg("\"Color\"=hex:05,07\n\"Char\"=hex:3d\n")), (Profile{"", 61, {5, 7, 0, 0}}));
    EXPECT_EQ(LoadFrom(UserReg("\"Color\"=hex:\n\"Char\"=hex:\n")), (Profile{"", 55, {16, 24, 32, 40}}));
    // Other binary types of up to 4 bytes are read the same way.
    EXPECT_EQ(LoadFrom(UserReg("\"Char\"=hex(0):59,00,00,00\n\"Color\"=hex(5):01,02,03,04\n")),
              (Profile{"", 89, {1, 2, 3, 4}}));
    // Text is cut at its first zero; an expandable string is text too.
    EXPECT_EQ(LoadFrom(UserReg("\"Name\"=str(2):\"Zarn\\0tail\"\n")).name, "Zarn");
}

TEST(TZarnSettings, AValueOfTheWrongTypeOrSizeEndsTheReadingKeepingWhatCameBefore)
{
    // "Char" as a 32-bit number: the name stays, the rest is left at zero.
    EXPECT_EQ(LoadFrom(UserReg("\"Char\"=dword:00000059\n\"Color\"=hex:01,02,03,04\n\"Name\"=\"Kept\"\n")),
              (Profile{"Kept", 0, {0, 0, 0, 0}}));
    EXPECT_EQ(LoadFrom(UserReg("\"Char\"=hex:59,00,00,00,00\n\"Name\"=\"Kept\"\n")), (Profile{"Kept", 0, {0, 0, 0, 0}}));
    EXPECT_EQ(LoadFrom(UserReg("\"Char\"=\"89\"\n")), (Profile{"", 0, {0, 0, 0, 0}}));
    EXPECT_EQ(LoadFrom(UserReg("\"Char\"=hex:59,00,00,00\n\"Color\"=str(2):\"x\"\n")), (Profile{"", 89, {0, 0, 0, 0}}));
    EXPECT_EQ(LoadFrom(UserReg("\"Char\"=hex:59,00,00,00\n\"Color\"=hex(b):01,02,03,04,05,06,07,08\n")),
              (Profile{"", 89, {0, 0, 0, 0}}));
    // A name that is not text stops everything after it.
    EXPECT_EQ(LoadFrom(UserReg("\"Char\"=hex:59,00,00,00\n\"Name\"=hex:41,00\n")), (Profile{"", 0, {0, 0, 0, 0}}));
}

TEST(TZarnSettings, SettersTrackChangesAndColourIndicesAreChecked)
{
    TZarnSettings settings{Registry("/nonexistent-prefix")};
    EXPECT_EQ(Seen(settings), (Profile{"", 0, {0, 0, 0, 0}}));
    EXPECT_TRUE(settings.KeyPath.empty());

    settings.SetName("");
    settings.SetCharacter(0);
    settings.SetColor(3, 0);
    EXPECT_FALSE(settings.Modified());
    settings.SetColor(3, 300);
    EXPECT_TRUE(settings.Modified());
    EXPECT_EQ(settings.GetColor(3), 300);

    for (int index : {0, 5, -1}) {
        try {
            settings.GetColor(index);
            ADD_FAILURE() << "GetColor(" << index << ") did not throw";
        } catch (const std::out_of_range& error) {
            EXPECT_STREQ(error.what(), "Index is not within the valid range of 1..4");
        }
        EXPECT_THROW(settings.SetColor(index, 1), std::out_of_range);
    }
    EXPECT_EQ(Seen(settings), (Profile{"", 0, {0, 0, 300, 0}}));

    // Without a key, Load and Save leave everything as it is.
    settings.SetName("Zarn");
    settings.Load();
    settings.Save();
    EXPECT_EQ(Seen(settings), (Profile{"Zarn", 0, {0, 0, 300, 0}}));
    EXPECT_TRUE(settings.Modified());
}

TEST(TZarnSettings, SaveWritesTheProfileAndNothingElse)
{
    TestPrefix prefix;
    const std::string before = UserReg("\"Char\"=hex:37,00,00,00\n\"Name\"=\"Old\"\n\"Zeta\"=\"other value\"\n");
    prefix.Write("user.reg", before);
    TZarnSettings settings{Registry(prefix.Path())};
    settings.KeyPath = PlayerPath;
    settings.Load();
    settings.SetName("J\xFCrgen \xA9 \x80");
    settings.SetCharacter(TZarnSettings::Vani);
    settings.SetColor(1, 0);
    settings.SetColor(2, 255);
    // Only the low 8 bits of each colour are stored: nothing spills over.
    settings.SetColor(3, 256 + 72);
    settings.SetColor(4, -1);
    settings.Save();
    EXPECT_FALSE(settings.Modified());

    const std::string after = prefix.Read("user.reg");
    std::string expected = UserReg("\"Char\"=hex:3d,00,00,00\n\"Color\"=hex:00,ff,48,ff\n"
                                   "\"Name\"=\"J\\xfcrgen \\xa9 \\x20ac\"\n\"Zeta\"=\"other value\"\n");
    EXPECT_EQ(MaskPlayerStamps(after), MaskPlayerStamps(expected));

    TZarnSettings reloaded{Registry(prefix.Path())};
    reloaded.KeyPath = PlayerPath;
    reloaded.Load();
    EXPECT_EQ(Seen(reloaded), (Profile{"J\xFCrgen \xA9 \x80", 61, {0, 255, 72, 255}}));
}

TEST(TZarnSettings, ASaveThatDoesNotReachTheFileSaysWhichAndWhyAndKeepsTheEdit)
{
    const struct Case { std::string after, reason; int mode; } cases[] = {
        {UserRegHeader() + "\n[Software\\\\Krell Playware] 1\n", "\"" + PlayerPath + "\" does not exist", 0644},
        {UserReg(""), "it is read-only", 0444},
        {"REGEDIT4\n", "not a Wine registry file", 0644}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        TestPrefix prefix;
        prefix.Write("user.reg", UserReg(""));
        TZarnSettings settings{Registry(prefix.Path())};
        settings.KeyPath = PlayerPath;
        settings.Load();
        settings.SetName("Changed");
        prefix.Write("user.reg", c.after);
        ::chmod(prefix.File("user.reg").c_str(), c.mode);
        try {
            settings.Save();
            ADD_FAILURE() << "the save was reported as done";
        } catch (const TProfileSaveError& error) {
            EXPECT_EQ(error.File(), prefix.File("user.reg"));
            EXPECT_NE(error.Reason().find(c.reason), std::string::npos) << error.Reason();
        }
        EXPECT_TRUE(settings.Modified());
        EXPECT_EQ(prefix.Read("user.reg"), c.after);
    }
}

TEST(TZarnSettings, AMalformedLineElsewhereLosesNoProfileAndSurvivesASave)
{
    TestPrefix prefix;
    const std::string damage = "\"Broken\"=hex:01,zz\n";
    const std::string before = UserReg("\"Char\"=hex:59,00,00,00\n" + damage + "\"Name\"=\"Pock\"\n");
    prefix.Write("user.reg", before);
    TZarnSettings settings{Registry(prefix.Path())};
    settings.KeyPath = PlayerPath;
    settings.Load();
    EXPECT_EQ(Seen(settings), (Profile{"Pock", 89, {16, 24, 32, 40}}));

    settings.SetName("Pockz");
    settings.Save();
    const std::string expected =
        UserReg("\"Char\"=hex:59,00,00,00\n" + damage + "\"Color\"=hex:10,18,20,28\n\"Name\"=\"Pockz\"\n");
    EXPECT_EQ(MaskPlayerStamps(prefix.Read("user.reg")), MaskPlayerStamps(expected));
}

} // namespace
