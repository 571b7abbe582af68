#include <gtest/gtest.h>

#include "wizard/InstallGuard.h"

namespace ta {
namespace {

TEST(InstallGuardTest, ProductFoldersPassInAnyLetterCase) {
    EXPECT_TRUE(InstallPathPassesGuard(L"C:\\Program Files\\Tarnil"));
    EXPECT_TRUE(InstallPathPassesGuard(L"C:\\PROGRAM FILES\\TARNIL\\"));
    EXPECT_TRUE(InstallPathPassesGuard(L"d:\\apps\\tarnil2"));
    EXPECT_TRUE(InstallPathPassesGuard(L"C:\\Tarnil"));
    EXPECT_TRUE(InstallPathPassesGuard(L"\\\\server\\share\\Tarnil"));
    EXPECT_TRUE(InstallPathPassesGuard(L"\\\\?\\C:\\Program Files\\Tarnil"));
    EXPECT_TRUE(InstallPathPassesGuard(L"C:/Program Files/Tarnil"));
}

TEST(InstallGuardTest, FoldersOfOthersFail) {
    EXPECT_FALSE(InstallPathPassesGuard(L"C:\\Program Files\\Other"));
    EXPECT_FALSE(InstallPathPassesGuard(L""));
    EXPECT_FALSE(InstallPathPassesGuard(L"Error"));
    EXPECT_FALSE(InstallPathPassesGuard(L"C:\\Program Files\\Tarni l"));
}

TEST(InstallGuardTest, TheNameMustSurviveNormalisation) {
    EXPECT_FALSE(InstallPathPassesGuard(L"C:\\Tarnil\\..\\Windows"));
    EXPECT_FALSE(InstallPathPassesGuard(L"C:\\Tarnil\\..\\..\\"));
    EXPECT_FALSE(InstallPathPassesGuard(L"\\\\?\\C:\\Tarnil\\..\\Windows"));
    EXPECT_FALSE(InstallPathPassesGuard(L"C:\\Users\\Tarnil\\..\\..\\Windows\\System32"));
    EXPECT_EQ(GuardedInstallPath(L"C:\\Program Files\\Tarnil\\bin\\.."), L"C:\\Program Files\\Tarnil");
    EXPECT_EQ(GuardedInstallPath(L"C:\\Program Files\\Tarnil\\"), L"C:\\Program Files\\Tarnil");
    EXPECT_EQ(GuardedInstallPath(L"C:/Tarnil/./x/.."), L"C:\\Tarnil");
}

TEST(InstallGuardTest, RelativePathsAndRootsFail) {
    EXPECT_FALSE(InstallPathPassesGuard(L"Tarnil"));
    EXPECT_FALSE(InstallPathPassesGuard(L".\\Tarnil"));
    EXPECT_FALSE(InstallPathPassesGuard(L"..\\Tarnil"));
    EXPECT_FALSE(InstallPathPassesGuard(L"\\Tarnil"));       // below the current drive's root
    EXPECT_FALSE(InstallPathPassesGuard(L"C:Tarnil"));       // relative to the drive's current folder
    EXPECT_FALSE(InstallPathPassesGuard(L"C:\\"));
    EXPECT_FALSE(InstallPathPassesGuard(L"\\\\tarnil\\share"));  // a share root
    EXPECT_FALSE(InstallPathPassesGuard(L"\\\\tarnil\\share\\"));
    EXPECT_FALSE(InstallPathPassesGuard(L"\\\\.\\C:\\Tarnil"));  // the device namespace
}

}  // namespace
}  // namespace ta
