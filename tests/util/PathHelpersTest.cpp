// Separator rules, existence and numbered target names on narrow paths.
#include "PathHelpers.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(PathHelpers, TrailingSeparatorRules)
{
    EXPECT_EQ(EnsureTrailingSeparator(""), "");
    EXPECT_EQ(EnsureTrailingSeparator("D:\\dl/"), "D:\\dl/");
    EXPECT_EQ(EnsureTrailingSeparator("D:\\dl\\"), "D:\\dl\\");
    EXPECT_EQ(EnsureTrailingSeparator("D:\\dl"), "D:\\dl\\");
    // 誠 is 0xD5 0x5C in GBK: its second byte is a backslash, yet it ends no folder name.
    EXPECT_EQ(EnsureTrailingSeparator("D:\\誠"), "D:\\誠\\");
    EXPECT_EQ(EnsureTrailingSeparator("D:\\誠\\"), "D:\\誠\\");
}

TEST(PathHelpers, SplitFileNameAtLastDot)
{
    std::string base = "keep", ext = "keep";
    SplitFileName("TarnvikBrowser.exe", base, ext);
    EXPECT_EQ(base, "TarnvikBrowser");
    EXPECT_EQ(ext, ".exe");
    base = ext = "keep";
    SplitFileName("README", base, ext);
    EXPECT_EQ(base, "keep");
    EXPECT_EQ(ext, "keep");
}

static void Touch(const std::string& path)
{
    FILE* f = nullptr;
    ASSERT_EQ(fopen_s(&f, path.c_str(), "wb"), 0) << path;
    fclose(f);
}

TEST(PathHelpers, UniqueNameTakesFirstFreeNumberAndOverwritesTheLast)
{
    const std::string folder = testenv::MakeScratchFolder("unique");
    EXPECT_FALSE(PathExists(""));
    EXPECT_TRUE(PathExists(folder));
    EXPECT_EQ(MakeUniqueFilePath("", "TarnvikBrowser.exe"), "");
    EXPECT_EQ(MakeUniqueFilePath(folder, ""), "");
    EXPECT_EQ(MakeUniqueFilePath(folder, "TarnvikBrowser.exe"), folder + "TarnvikBrowser.exe");

    Touch(folder + "TarnvikBrowser.exe");
    Touch(folder + "TarnvikBrowser1.exe");
    EXPECT_EQ(MakeUniqueFilePath(folder, "TarnvikBrowser.exe"), folder + "TarnvikBrowser2.exe");

    for (int i = 2; i <= 99; ++i)
        Touch(folder + "TarnvikBrowser" + std::to_string(i) + ".exe");
    EXPECT_EQ(MakeUniqueFilePath(folder, "TarnvikBrowser.exe"), folder + "TarnvikBrowser99.exe");
}
