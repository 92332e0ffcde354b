#include "launch/installations.h"
#include "platform/registry/registry.h"
#include "platform/registry_testprefix.h"

#include <gtest/gtest.h>

namespace {

// One installation record as the game's installer leaves it.
std::string Installation(const std::string& keyName, const std::string& values)
{
    return "\n[Software\\\\Krell Playware\\\\" + keyName + "] 1700000000\n#time=1da1b2c3d4e5f60\n" + values;
}

std::string InstallDir(const std::string& folder) { return "\"InstallDir\"=\"" + folder + "\"\n"; }
std::string Version(const std::string& version) { return "\"Version\"=\"" + version + "\"\n"; }

ExecutablePaths Scan(const std::string& systemReg, ExecutablePaths executables = {}, bool win64 = false)
{
    TestPrefix prefix;
    prefix.Write("system.reg", MachineRegHeader(win64) + systemReg);
    FindGameInstallations(Registry(prefix.Path()), executables);
    return executables;
}

TEST(FindGameInstallations, OnlyKeysStartingExactlyWithTheGameTitleCount)
{
    const std::string dir = InstallDir("C:\\\\Games\\\\");
    EXPECT_EQ(Scan(Installation("Zarn Tumblewick 2", Version("1.21") + dir))[GameVersion::V121],
              "C:\\Games\\zarn2.exe");
    EXPECT_EQ(Scan(Installation("Zarn Tumblewick 2 Gold Edition", Version("1.21") + dir))[GameVersion::V121],
              "C:\\Games\\zarn2.exe");

    const std::string others = Installation("zarn tumblewick 2", Version("1.21") + dir)
                             + Installation("ZARN TUMBLEWICK 2 X", Version("1.24") + dir)
                             + Installation("Zarn Tumblewick", Version("1.21") + dir)
                             + Installation("Zarn Tumblewick2", Version("1.21") + dir)
                             + Installation("The Zarn Tumblewick 2", Version("1.24") + dir);
    EXPECT_EQ(Scan(others), ExecutablePaths{});
}

TEST(FindGameInstallations, VersionChoosesTheSetting)
{
    auto scanVersion = [](const std::string& versionValue) {
        return Scan(Installation("Zarn Tumblewick 2", versionValue + InstallDir("D:\\\\Zarn\\\\")));
    };
    const ExecutablePaths to124{{GameVersion::V124, "D:\\Zarn\\zarn2.exe"}};
    const ExecutablePaths to121{{GameVersion::V121, "D:\\Zarn\\zarn2.exe"}};
    EXPECT_EQ(scanVersion(Version("1.24")), to124);
    EXPECT_EQ(scanVersion(Version("1.24 x")), to124);
    EXPECT_EQ(scanVersion(Version("1.245 beta")), to124);
    EXPECT_EQ(scanVersion(Version("1.21")), to121);
    EXPECT_EQ(scanVersion(Version("1.2")), to121);
    EXPECT_EQ(scanVersion(Version(" 1.24")), to121);
    EXPECT_EQ(scanVersion(Version("")), to121);
    EXPECT_EQ(scanVersion(""), to121);
    EXPECT_EQ(scanVersion("\"Version\"=str(2):\"1.24\"\n"), to124);
}

TEST(FindGameInstallations, FirstInstallationInRegistryOrderWinsAndSetTextStays)
{
    // Listed in the registry's order (by name without regard to case), not
    // in the file's. The first name has a character an ANSI program cannot
    // name, so its key cannot be opened and is passed over.
    const std::string records = Installation("Zarn Tumblewick 2 0\\x263a", Version("1.21") + InstallDir("X\\\\"))
                              + Installation("Zarn Tumblewick 2 b", Version("1.24") + InstallDir("B\\\\"))
                              + Installation("Zarn Tumblewick 2 A", Version("1.24") + InstallDir("A\\\\"))
                              + Installation("Zarn Tumblewick 2 c", Version("1.21") + InstallDir("C\\\\"))
                              + Installation("Zarn Tumblewick 2 d", Version("1.21") + InstallDir("D\\\\"));
    EXPECT_EQ(Scan(records),
              (ExecutablePaths{{GameVersion::V121, "C\\zarn2.exe"}, {GameVersion::V124, "A\\zarn2.exe"}}));

    const ExecutablePaths configured{{GameVersion::V121, "/home/me/zarn121.exe"},
                                     {GameVersion::V124, ""},
                                     {GameVersion::V124x, ""}};
    EXPECT_EQ(Scan(records, configured), (ExecutablePaths{{GameVersion::V121, "/home/me/zarn121.exe"},
                                                          {GameVersion::V124, "A\\zarn2.exe"},
                                                          {GameVersion::V124x, ""}}));
}

TEST(FindGameInstallations, InstallDirIsUsedAsItIs)
{
    // No separator is added; a record without a folder is passed over.
    const std::string records = Installation("Zarn Tumblewick 2 1", Version("1.21") + InstallDir(""))
                              + Installation("Zarn Tumblewick 2 2", Version("1.21"))
                              + Installation("Zarn Tumblewick 2 3", Version("1.21") + InstallDir("C:\\\\Games\\\\Zarn"))
                              + Installation("Zarn Tumblewick 2 4", Version("1.24") + InstallDir("E:\\\\\\xe9t\\xe9\\\\"));
    EXPECT_EQ(Scan(records), (ExecutablePaths{{GameVersion::V121, "C:\\Games\\Zarnzarn2.exe"},
                                              {GameVersion::V124, "E:\\\xE9t\xE9\\zarn2.exe"}}));
}

TEST(FindGameInstallations, RegistryTroubleEndsTheScanKeepingWhatWasFound)
{
    // The second record's version is not text: the scan stops there.
    const std::string records = Installation("Zarn Tumblewick 2 a", Version("1.21") + InstallDir("A\\\\"))
                              + Installation("Zarn Tumblewick 2 b", "\"Version\"=dword:00000124\n" + InstallDir("B\\\\"))
                              + Installation("Zarn Tumblewick 2 c", Version("1.24") + InstallDir("C\\\\"));
    EXPECT_EQ(Scan(records), (ExecutablePaths{{GameVersion::V121, "A\\zarn2.exe"}}));

    const std::string binaryFolder = Installation("Zarn Tumblewick 2", Version("1.24") + "\"InstallDir\"=hex:43,3a\n")
                                   + Installation("Zarn Tumblewick 2 z", Version("1.24") + InstallDir("Z\\\\"));
    EXPECT_EQ(Scan(binaryFolder), ExecutablePaths{});

    // A folder value that cannot be read is skipped, like an absent one: it
    // fills nothing and raises nothing.
    const ExecutablePaths configured{{GameVersion::V124x, "x.exe"}};
    EXPECT_EQ(Scan(Installation("Zarn Tumblewick 2", Version("1.24") + "\"InstallDir\"=\"cut off"), configured),
              configured);
}

TEST(FindGameInstallations, NoRecordsFillNothing)
{
    EXPECT_EQ(Scan(""), ExecutablePaths{});
    EXPECT_EQ(Scan("\n[Software\\\\Other Maker\\\\Zarn Tumblewick 2] 1\n" + InstallDir("C:\\\\")), ExecutablePaths{});

    TestPrefix noPrefix;
    ExecutablePaths executables{{GameVersion::V124, "kept.exe"}};
    FindGameInstallations(Registry(noPrefix.Path() / "missing"), executables);
    EXPECT_EQ(executables, (ExecutablePaths{{GameVersion::V124, "kept.exe"}}));
}

TEST(FindGameInstallations, A64BitPrefixIsReadAsTheGameSeesIt)
{
    const std::string records = Installation("Zarn Tumblewick 2", Version("1.21") + InstallDir("Native\\\\"))
                              + "\n[Software\\\\Wow6432Node\\\\Krell Playware\\\\Zarn Tumblewick 2] 1\n"
                              + Version("1.24") + InstallDir("C:\\\\Program Files (x86)\\\\Zarn\\\\");
    EXPECT_EQ(Scan(records, {}, true),
              (ExecutablePaths{{GameVersion::V124, "C:\\Program Files (x86)\\Zarn\\zarn2.exe"}}));
}

} // namespace
