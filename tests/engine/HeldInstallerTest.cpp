// An installer held for its check and its start: the checked file is the started file.
#include "InstallerSignature.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(HeldInstaller, NobodyWritesRenamesOrDeletesTheFileWhileItIsHeld)
{
    const std::string path = testenv::MakeScratchFolder("held") + "TarnvikBrowser.exe";
    ASSERT_TRUE(CopyFileA(testenv::InstallerFile().c_str(), path.c_str(), TRUE));
    {
        const CHeldInstaller held(path);
        EXPECT_TRUE(held.Trusted());
        EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_FALSE(DeleteFileA(path.c_str()));
        EXPECT_FALSE(MoveFileA(path.c_str(), (path + ".old").c_str()));
        EXPECT_TRUE(ReadWholeFile(path) == ReadWholeFile(testenv::InstallerFile()))
            << "reading stays possible";
    }
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "released with its holder";
}
