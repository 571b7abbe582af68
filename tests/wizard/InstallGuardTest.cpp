#include <gtest/gtest.h>

#include "fs/FinalPath.h"
#include "wizard/CommandLine.h"
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

// The hand-over runs only for a program whose file lies in the install folder; a folder whose
// name merely begins like it is somebody else's.
TEST(InstallGuardTest, OnlyWhatLiesBelowTheFolderIsInsideIt) {
    EXPECT_TRUE(LiesInside(L"C:\\Program Files (x86)\\Tarnil\\TaUnInst.exe", L"C:\\program files (x86)\\TARNIL\\"));
    EXPECT_TRUE(LiesInside(L"C:\\Tarnil", L"C:\\Tarnil"));
    EXPECT_FALSE(LiesInside(L"C:\\Tarnil2\\TaUnInst.exe", L"C:\\Tarnil"));
    EXPECT_FALSE(LiesInside(L"C:\\Tar", L"C:\\Tarnil"));
    EXPECT_FALSE(LiesInside(L"C:\\Tarnil\\x", L""));
    EXPECT_EQ(NormalisedPath(L"C:\\windows\\system32\\..\\.\\system32"), L"C:\\windows\\system32");
}

// The copy gets the original's switches through a command line: every argument must come back
// exactly as it went in, also a log path ending in a backslash or holding quotes and spaces.
TEST(CommandLineTest, QuotedArgumentsSplitBackUnchanged) {
    const std::vector<std::wstring> arguments = {L"/S", L"/log=C:\\타르닐 제거\\r.log", L"C:\\a b\\", L"say \"hi\"",
                                                 L"\\\\\"x", L"", L"/original=42:C:\\Program Files\\Tarnil\\TaUnInst.exe"};
    std::wstring line;
    for (const std::wstring& argument : arguments) line += QuoteArgument(argument) + L" ";
    EXPECT_EQ(SplitArguments(line), arguments);
    const CommandLine parsed = ParseCommandLine(SplitArguments(line));
    EXPECT_EQ(parsed.originalPid, 42u);
    EXPECT_EQ(parsed.originalPath, L"C:\\Program Files\\Tarnil\\TaUnInst.exe");
    EXPECT_EQ(ParseCommandLine({L"/original=x:C:\\a.exe"}).unknown.size(), 1u);
}

}  // namespace
}  // namespace ta
