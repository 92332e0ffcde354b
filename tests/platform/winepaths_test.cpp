#include "platform/winepaths.h"

#include <gtest/gtest.h>

TEST(UnixPathForWindowsPath, FollowsTheDriveIntoThePrefix)
{
    EXPECT_EQ(UnixPathForWindowsPath("/home/u/.wine", "C:\\Games\\Zarn 2\\zarn2.exe"),
              std::filesystem::path("/home/u/.wine/dosdevices/c:/Games/Zarn 2/zarn2.exe"));
    EXPECT_EQ(UnixPathForWindowsPath("/p", "d:/x//y\\"), std::filesystem::path("/p/dosdevices/d:/x/y"));
    EXPECT_EQ(UnixPathForWindowsPath("/p", "Z:"), std::filesystem::path("/p/dosdevices/z:"));
}

TEST(UnixPathForWindowsPath, LeavesOtherPathsAlone)
{
    EXPECT_EQ(UnixPathForWindowsPath("/p", "/opt/zarn/zarn2.exe"), std::nullopt);
    EXPECT_EQ(UnixPathForWindowsPath("/p", "zarn2.exe"), std::nullopt);
    EXPECT_EQ(UnixPathForWindowsPath("/p", "\\\\server\\share\\zarn2.exe"), std::nullopt);
    EXPECT_EQ(UnixPathForWindowsPath("/p", ""), std::nullopt);
    EXPECT_EQ(UnixPathForWindowsPath("/p", "1:\\zarn2.exe"), std::nullopt);
}
