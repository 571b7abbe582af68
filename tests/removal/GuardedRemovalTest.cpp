// The install folder as the progress page removes it: the guard first, then the file steps on
// the folder the guard resolved. Whatever is outside the product's tree must stay intact.
#include <gtest/gtest.h>

#include "platform/ProgramValues.h"
#include "removal/FileTestKit.h"
#include "wizard/InstallGuard.h"

namespace {

using ta::test::Exists;
using ta::test::IsFolder;
using ta::test::MakeFile;
using ta::test::ScratchFolder;
using ta::test::SizeOf;

class GuardedRemovalTest : public ::testing::Test {
protected:
    void SetUp() override { ta::DeletedBytes = 0; }
    void TearDown() override { ta::DeletedBytes = 0; }

    void RemoveInstallFolder(const std::wstring& programPath) {
        const auto guarded = ta::GuardedInstallPath(programPath);
        if (!guarded) return;
        page.InstallPath = *guarded;
        int16_t files = 0, dirs = 0;
        page.FindFilesAPI(page.InstallPath, L"*.*", files, dirs);
        page.RemoveInstallFolders();
    }

    ta::test::RecordingPage page;
    ScratchFolder root{L"Guarded"};
};

TEST_F(GuardedRemovalTest, DotDotOutOfTheProductFolderRemovesNothing) {
    MakeFile(root / L"Tarnil\\tasuf.exe", 10);
    MakeFile(root / L"Documents\\thesis.doc", 300);
    MakeFile(root / L"Documents\\images\\scan.png", 200);

    RemoveInstallFolder(root / L"Tarnil\\..\\Documents");
    RemoveInstallFolder(root / L"Tarnil\\..");

    EXPECT_EQ(SizeOf(root / L"Documents\\thesis.doc"), 300);
    EXPECT_EQ(SizeOf(root / L"Documents\\images\\scan.png"), 200);
    EXPECT_EQ(SizeOf(root / L"Tarnil\\tasuf.exe"), 10);
    EXPECT_TRUE(page.shown.empty());
}

TEST_F(GuardedRemovalTest, DotDotThatStaysInTheProductFolderRemovesIt) {
    MakeFile(root / L"Tarnil\\tasuf.exe", 10);
    MakeFile(root / L"Tarnil\\images\\logo.gif", 5);
    MakeFile(root / L"TarnilBackup\\keep.dat", 7);

    RemoveInstallFolder(root / L"Tarnil\\images\\..");

    EXPECT_FALSE(Exists(root / L"Tarnil"));
    EXPECT_EQ(SizeOf(root / L"TarnilBackup\\keep.dat"), 7);
    EXPECT_EQ(ta::DeletedBytes, 15);
}

TEST_F(GuardedRemovalTest, LinkedFoldersKeepEveryFileBehindThem) {
    // The user's folder is reachable from the install folder through two folder links, one of
    // them with a known subfolder's name, and a file through a file link; none is followed, and
    // the install folder stays.
    MakeFile(root / L"Profile\\Desktop\\report.xls", 400);
    MakeFile(root / L"Profile\\photo.jpg", 500);
    MakeFile(root / L"Profile\\notes.txt", 11);
    MakeFile(root / L"Tarnil\\tmp\\update.tmp", 3);
    ASSERT_TRUE(ta::test::MakeUnixLink(root / L"Profile", root / L"Tarnil\\images"));
    ASSERT_TRUE(ta::test::MakeUnixLink(root / L"Profile\\Desktop", root / L"Tarnil\\tmp\\desk"));
    ASSERT_TRUE(ta::test::MakeUnixLink(root / L"Profile\\notes.txt", root / L"Tarnil\\notes.txt"));
    ASSERT_TRUE(IsFolder(root / L"Tarnil\\images"));

    RemoveInstallFolder(root / L"Tarnil");

    EXPECT_EQ(SizeOf(root / L"Profile\\Desktop\\report.xls"), 400);
    EXPECT_EQ(SizeOf(root / L"Profile\\photo.jpg"), 500);
    EXPECT_EQ(SizeOf(root / L"Profile\\notes.txt"), 11);
    EXPECT_TRUE(IsFolder(root / L"Profile\\Desktop"));
    EXPECT_FALSE(Exists(root / L"Tarnil\\tmp\\update.tmp"));
    // Nothing behind a folder link was shown or counted (the file link itself may be).
    for (const std::wstring& path : page.shown) EXPECT_EQ(path.find(L"photo"), std::wstring::npos);
    EXPECT_LE(ta::DeletedBytes, 3 + 11);
    EXPECT_TRUE(IsFolder(root / L"Tarnil"));
}

}  // namespace
