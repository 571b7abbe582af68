#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "fs/FileRemoval.h"
#include "fs/FinalPath.h"
#include "fs/RestartDeletions.h"
#include "platform/Text.h"
#include "run/RunOutcome.h"
#include "record/RemovalRecord.h"
#include "removal/FileTestKit.h"
#include "removal/FixturePrograms.h"
#include "support/PendingRestartList.h"
#include "support/TestRegistry.h"
#include "support/UnixLinks.h"
#include "wizard/InstallGuard.h"

namespace {

using ta::test::Exists;
using ta::test::IsFolder;
using ta::test::MakeFile;
using ta::test::MakeFolders;
using ta::test::RecordingPage;
using ta::test::ScratchFolder;
using ta::test::SizeOf;

class FileStepsTest : public ::testing::Test {
protected:

    // What RunRemoval does with the install folder once the guard has passed.
    void RemoveInstallFolder(const std::wstring& installPath) {
        page.run.InstallPath = installPath;
        int16_t files = 0, dirs = 0;
        page.steps.FindFilesAPI(page.run.InstallPath, L"*.*", files, dirs);
        page.steps.RemoveInstallFolders();
    }

    RecordingPage page;
};

TEST_F(FileStepsTest, EmptiesATreeParentFilesFirstAndKeepsEveryFolder) {
    ScratchFolder root(L"Tree");
    const std::wstring install = root / L"Tarnil";
    MakeFile(install + L"\\a.exe", 100);
    MakeFile(install + L"\\images\\caret\\c.bmp", 30);
    MakeFile(install + L"\\images\\i.gif", 20);
    MakeFile(install + L"\\tmp\\t.dat", 5);
    MakeFile(install + L"\\b.dll", 7);
    MakeFolders(install + L"\\images\\careth");

    page.run.InstallPath = install;  // no trailing backslash
    int16_t files = 0, dirs = 0;
    page.steps.FindFilesAPI(page.run.InstallPath, L"*.*", files, dirs);

    EXPECT_EQ(page.run.InstallPath, install + L"\\");
    EXPECT_EQ(page.run.DeletedBytes, 162);
    // Both files of a folder before anything below it; subfolders in the order the search met them.
    ASSERT_EQ(page.shown.size(), 5u);
    EXPECT_EQ(page.shown[2], install + L"\\images\\i.gif");
    EXPECT_EQ(page.shown[3], install + L"\\images\\caret\\c.bmp");
    EXPECT_EQ(page.shown[4], install + L"\\tmp\\t.dat");
    EXPECT_EQ(page.values.back(), 162);
    for (bool existed : page.existedWhenShown) EXPECT_TRUE(existed);
    // The counters take every entry: 5 files and 4 folders met as files, 4 folders listed.
    EXPECT_EQ(files, 9);
    EXPECT_EQ(dirs, 4);
    for (const wchar_t* gone : {L"\\a.exe", L"\\b.dll", L"\\images\\caret\\c.bmp", L"\\images\\i.gif", L"\\tmp\\t.dat"})
        EXPECT_FALSE(Exists(install + gone)) << gone;
    for (const wchar_t* kept : {L"\\images\\caret", L"\\images\\careth", L"\\tmp"}) EXPECT_TRUE(IsFolder(install + kept));

    page.steps.RemoveInstallFolders();
    EXPECT_FALSE(Exists(install));
    EXPECT_TRUE(IsFolder(root.path()));
}

TEST_F(FileStepsTest, EmptiedFoldersGoDeepestFirstAndOnlyWhatStillHoldsSomethingStays) {
    ScratchFolder root(L"Foreign");
    const std::wstring install = root / L"Tarnil";
    MakeFile(install + L"\\images\\careti\\x.bmp", 1);
    MakeFile(install + L"\\images\\skins\\blue.bmp", 1);  // a folder of its own inside a known one
    MakeFile(install + L"\\saves\\deep\\game.sav", 10);
    MakeFolders(install + L"\\tmp");

    RemoveInstallFolder(install + L"\\");

    EXPECT_FALSE(Exists(install + L"\\images"));
    EXPECT_FALSE(Exists(install + L"\\tmp"));
    EXPECT_FALSE(Exists(install + L"\\saves"));  // emptied, then removed
    EXPECT_FALSE(Exists(install));

}

// Where path stands among the deletions waiting for the restart; -1 when it is not there.
int PendingIndexOf(const std::wstring& path) {
    const std::vector<std::wstring> pending = ta::DeletionsPendingRestart();
    const std::wstring full = ta::LongPathForm(path).substr(4);
    for (size_t i = 0; i < pending.size(); ++i)
        if (::CompareStringOrdinal(pending[i].c_str(), -1, full.c_str(), -1, TRUE) == CSTR_EQUAL)
            return static_cast<int>(i);
    return -1;
}

// Where the record says the file was moved for the restart; empty when it does not.
std::wstring MovedTo(const ta::RemovalRecord& record, const std::wstring& path) {
    const auto entry = record.Find(path);
    if (!entry || entry->outcome != ta::Outcome::PendingRestart || entry->detail.rfind(L"moved to ", 0) != 0) return {};
    return entry->detail.substr(9, entry->detail.find(L" for the restart") - 9);
}

TEST_F(FileStepsTest, FilesInUseGoAtTheRestartFromAPrivateFolderAndFilesHeldOpenWhereTheyAre) {
    ta::test::PendingRestartList pendingList;  // put back as it was
    ScratchFolder root(L"Held");
    const std::wstring install = root / L"Tarnil";
    MakeFile(install + L"\\data\\held.dat", 50);
    MakeFile(install + L"\\data\\free.dat", 20);
    MakeFolders(install + L"\\data\\empty");
    MakeFile(install + L"\\shared\\mapped.log", 5, FILE_ATTRIBUTE_READONLY);
    MakeFile(root / L"Profile\\diary.txt", 30);
    ASSERT_TRUE(ta::test::MakeUnixLink(root / L"Profile\\diary.txt", install + L"\\shared\\diary.txt"));
    MakeFolders(install + L"\\bin");
    // A program of the product's running from its folder (its image is mapped), and a program of
    // somebody else's that maps one of the product's files and has another and the user's diary
    // open without letting them be deleted.
    ta::test::fixtures::RunningCopy viewer(root, L"Tarnil\\bin\\viewer.exe");
    const std::wstring holds = L"--hold \"" + install + L"\\data\\held.dat\" --hold \"" + root / L"Profile\\diary.txt" +
                               L"\" --map \"" + install + L"\\shared\\mapped.log\"";
    ta::test::fixtures::RunningCopy holder(root, L"memopad.exe", holds);
    ASSERT_TRUE(viewer.Started() && holder.Started());
    ASSERT_FALSE(holder.Ended(0));

    ta::RemovalRecord record;
    {
        ta::RecordingScope recording(record);
        RemoveInstallFolder(install);
    }

    EXPECT_FALSE(Exists(install + L"\\data\\free.dat"));
    EXPECT_FALSE(Exists(install + L"\\data\\empty"));
    // The running program and the mapped file left their folders: each waits for the restart in a
    // private folder at the root of its volume, and that folder after it. Their folders go now.
    for (const wchar_t* inUse : {L"\\bin\\viewer.exe", L"\\shared\\mapped.log"}) {
        const std::wstring moved = MovedTo(record, install + inUse);
        ASSERT_FALSE(moved.empty()) << ta::ToUtf8(inUse);
        const std::wstring aside = moved.substr(0, moved.find_last_of(L'\\'));
        EXPECT_EQ(aside.rfind(root.path().substr(0, 3) + L"TaUnInst-", 0), 0u) << ta::ToUtf8(aside);
        EXPECT_FALSE(Exists(install + inUse));
        EXPECT_TRUE(Exists(moved));
        EXPECT_GE(PendingIndexOf(moved), 0);
        EXPECT_GT(PendingIndexOf(aside), PendingIndexOf(moved));
    }
    EXPECT_FALSE(Exists(install + L"\\bin"));
    // The restart deletes no read-only file: the attribute went.
    EXPECT_EQ(::GetFileAttributesW(MovedTo(record, install + L"\\shared\\mapped.log").c_str()) & FILE_ATTRIBUTE_READONLY,
              0u);
    // A file held open cannot be moved: where only the trusted may change the folders on its way,
    // it waits for the restart where it is, and the folders around it after it, deepest first.
    const auto held = record.Find(install + L"\\data\\held.dat");
    ASSERT_TRUE(held);
    EXPECT_EQ(held->outcome, ta::Outcome::PendingRestart);
    EXPECT_EQ(held->error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(Exists(install + L"\\data\\held.dat"));
    // (The install folder stays: the link to the user's diary stays in it.)
    std::vector<std::wstring> below;
    for (const std::wstring& pending : ta::DeletionsPendingRestart())
        if (ta::ToLower(pending).rfind(ta::ToLower(install), 0) == 0) below.push_back(ta::ToLower(pending));
    const std::vector<std::wstring> inOrder{ta::ToLower(install + L"\\data\\held.dat"), ta::ToLower(install + L"\\data")};
    EXPECT_EQ(below, inOrder);
    // The user's file behind the link is neither deleted nor scheduled.
    EXPECT_EQ(PendingIndexOf(root / L"Profile\\diary.txt"), -1);
    EXPECT_EQ(SizeOf(root / L"Profile\\diary.txt"), 30);
}

// Where others may change a folder on its way, or a link leads there, a file held open is not left
// for the restart by its path: somebody could put a link there meanwhile, and the restart, carried
// out as the system, would delete what it leads to. It stays, and its line names the folder and why.
TEST_F(FileStepsTest, AFileHeldOpenWhereOthersMayChangeAFolderOnItsWayStaysAndItsLineSaysWho) {
    ta::test::PendingRestartList pendingList;  // put back as it was
    ScratchFolder root(L"HeldOpen");
    const std::wstring writable = root / L"Writable\\Tarnil";
    const std::wstring throughLink = root / L"Via\\Tarnil";
    MakeFile(writable + L"\\data\\held.dat", 10);
    MakeFile(root / L"Real\\Tarnil\\held.dat", 10);
    ASSERT_TRUE(ta::test::MakeUnixLink(root / L"Real", root / L"Via"));
    ASSERT_TRUE(ta::test::LetOthersChange(writable));
    ta::FileHandle holders[] = {
        ta::FileHandle(::CreateFileW((writable + L"\\data\\held.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr)),
        ta::FileHandle(::CreateFileW((throughLink + L"\\held.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr))};
    ASSERT_TRUE(holders[0] && holders[1]);

    ta::RemovalRecord record;
    {
        ta::RecordingScope recording(record);
        RemoveInstallFolder(writable);
        RemoveInstallFolder(throughLink);
    }
    const struct {
        std::wstring file, folder, why;
    } cases[] = {{writable + L"\\data\\held.dat", writable, L"Everyone may change it"},
                 {throughLink + L"\\held.dat", throughLink, L"it is a link, or reached through one"}};
    for (const auto& held : cases) {
        const auto entry = record.Find(held.file);
        ASSERT_TRUE(entry) << ta::ToUtf8(held.file);
        EXPECT_EQ(entry->outcome, ta::Outcome::Kept);
        EXPECT_EQ(entry->keptBy, ta::KeptBy::InUse);
        EXPECT_EQ(entry->error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_NE(entry->detail.find(held.folder + L": " + held.why), std::wstring::npos) << ta::ToUtf8(entry->detail);
        EXPECT_TRUE(Exists(held.file));
    }
    EXPECT_TRUE(pendingList.AddedSinceStart().empty());
}

// A file of the product that stays has its line with what kept it: an attribute the system would
// not take off, a restart that would not take the file either. (A deletion that breaks off:
// DeletionPoolTest.)
TEST_F(FileStepsTest, WhatKeepsAFileIsRecordedWithItsReason) {
    ta::test::PendingRestartList pendingList;  // put back as it was
    ScratchFolder root(L"Reasons");
    const std::wstring install = root / L"Tarnil";
    MakeFile(install + L"\\frozen.dat", 10, FILE_ATTRIBUTE_READONLY);
    MakeFile(install + L"\\held.dat", 10);
    MakeFile(install + L"\\mapped.dat", 10);
    MakeFile(install + L"\\plain.dat", 10);
    ta::test::UnchangeableFile frozen(install + L"\\frozen.dat");
    ASSERT_TRUE(frozen.Made());
    ta::FileHandle holder(::CreateFileW((install + L"\\held.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    ta::FileHandle mappedFile(::CreateFileW((install + L"\\mapped.dat").c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                            0, nullptr));
    ta::KernelHandle mapping(::CreateFileMappingW(mappedFile.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    const void* view = mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
    ASSERT_TRUE(view);
    // A list of restart deletions the system cannot add to.
    ASSERT_TRUE(ta::test::SetString(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                    L"PendingFileRenameOperations", L"not a list"));

    ta::RemovalRecord record;
    {
        ta::RecordingScope recording(record);
        ta::StepScope step(ta::kFindFilesAPIStep);
        RemoveInstallFolder(install);
    }
    const auto frozenEntry = record.Find(install + L"\\frozen.dat");
    ASSERT_TRUE(frozenEntry);
    EXPECT_EQ(frozenEntry->outcome, ta::Outcome::Failed);
    EXPECT_EQ(frozenEntry->error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(frozenEntry->detail.rfind(L"the read-only attribute could not be cleared: error 5", 0), 0u)
        << ta::ToUtf8(frozenEntry->detail);
    const auto heldEntry = record.Find(install + L"\\held.dat");
    ASSERT_TRUE(heldEntry);
    EXPECT_EQ(heldEntry->outcome, ta::Outcome::Kept);
    EXPECT_EQ(heldEntry->keptBy, ta::KeptBy::InUse);
    EXPECT_EQ(heldEntry->error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(heldEntry->detail.empty());
    // A mapped file the restart refuses goes back where it was, and the record says so.
    const auto mappedEntry = record.Find(install + L"\\mapped.dat");
    ASSERT_TRUE(mappedEntry);
    EXPECT_EQ(mappedEntry->outcome, ta::Outcome::Failed);
    EXPECT_EQ(mappedEntry->detail.rfind(L"the restart refused it too: error ", 0), 0u) << ta::ToUtf8(mappedEntry->detail);
    EXPECT_TRUE(Exists(install + L"\\mapped.dat"));
    ::UnmapViewOfFile(view);
    EXPECT_EQ(record.Find(install + L"\\plain.dat")->outcome, ta::Outcome::Removed);
}

// The final path of every file unreadable, as on a file system that cannot name its files; the
// folders' still answer.
ta::FinalPathQuery systemFinalPath = nullptr;
std::wstring FilesWithoutFinalPath(HANDLE handle, DWORD& error) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return systemFinalPath(handle, error);
    error = ERROR_INVALID_FUNCTION;
    return {};
}

TEST_F(FileStepsTest, AFileWhoseFinalPathCannotBeReadStaysWithTheError) {
    // Such a file might be a link to somebody else's file: it is not deleted through.
    ScratchFolder root(L"Unnamed");
    const std::wstring install = root / L"Tarnil";
    MakeFile(install + L"\\tasuf.exe", 10);
    MakeFile(install + L"\\images\\logo.gif", 5);
    ta::RemovalRecord record;
    systemFinalPath = ta::SetFinalPathQuery(&FilesWithoutFinalPath);
    {
        ta::RecordingScope recording(record);
        RemoveInstallFolder(install);
    }
    ta::SetFinalPathQuery(systemFinalPath);

    EXPECT_EQ(SizeOf(install + L"\\tasuf.exe"), 10);
    EXPECT_EQ(SizeOf(install + L"\\images\\logo.gif"), 5);
    for (const std::wstring& file : {install + L"\\tasuf.exe", install + L"\\images\\logo.gif"}) {
        const auto entry = record.Find(file);
        ASSERT_TRUE(entry) << ta::ToUtf8(file);
        EXPECT_EQ(entry->outcome, ta::Outcome::Failed);
        EXPECT_EQ(entry->error, static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    }
}

TEST_F(FileStepsTest, EmptyInstallFolderIsRemovedWithoutProgress) {
    ScratchFolder root(L"Empty");
    MakeFolders(root / L"Tarnil");
    RemoveInstallFolder(root / L"Tarnil");
    EXPECT_FALSE(Exists(root / L"Tarnil"));
    EXPECT_TRUE(page.values.empty());
    EXPECT_TRUE(page.shown.empty());
}

TEST_F(FileStepsTest, EmptyFileGoesQuietlyReadOnlyFileGoesAndCounts) {
    ScratchFolder root(L"Attributes");
    const std::wstring install = root / L"Tarnil";
    MakeFile(install + L"\\empty.log", 0);
    MakeFile(install + L"\\locked.dat", 40, FILE_ATTRIBUTE_READONLY);

    RemoveInstallFolder(install);

    EXPECT_FALSE(Exists(install + L"\\empty.log"));
    EXPECT_FALSE(Exists(install + L"\\locked.dat"));
    EXPECT_EQ(page.run.DeletedBytes, 40);
    EXPECT_EQ(page.shown, std::vector<std::wstring>{install + L"\\locked.dat"});
    EXPECT_EQ(page.values, std::vector<int64_t>{40});
    EXPECT_FALSE(Exists(install));
}

// The bytes are counted in 64 bits, true past 2 GB; the file and folder counters, 16 bits wide
// as they are stored, keep their value instead of overflowing.
TEST_F(FileStepsTest, BytesStayTruePast2GBAndTheCountersKeepTheirValue) {
    ScratchFolder root(L"Overflow");
    const std::wstring install = root / L"Tarnil";
    MakeFile(install + L"\\big.bin", 100);
    MakeFile(install + L"\\sub\\small.bin", 3);
    constexpr int64_t kStart = std::numeric_limits<int32_t>::max() - 50;
    page.run.DeletedBytes = kStart;
    page.run.InstallPath = install;
    int16_t files = 32767, dirs = 32767;

    page.steps.FindFilesAPI(page.run.InstallPath, L"*.*", files, dirs);

    EXPECT_EQ(page.run.DeletedBytes, kStart + 103);
    EXPECT_EQ(page.values, (std::vector<int64_t>{kStart + 100, kStart + 103}));
    EXPECT_EQ(page.shown.size(), 2u);
    EXPECT_FALSE(Exists(install + L"\\big.bin"));
    EXPECT_EQ(files, 32767);
    EXPECT_EQ(dirs, 32767);
}

TEST_F(FileStepsTest, FilesBeyondMaxPathAreFoundAndDeleted) {
    ScratchFolder root(L"Long");
    std::wstring deep = root / L"Tarnil";
    while (deep.size() < 300) deep += L"\\" + std::wstring(40, L'd');
    const std::wstring file = deep + L"\\far.txt";
    ASSERT_TRUE(MakeFile(file, 9));
    ASSERT_GT(file.size(), static_cast<size_t>(MAX_PATH));

    RemoveInstallFolder(root / L"Tarnil");

    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(Exists(root / L"Tarnil"));  // its long folders emptied and removed too
    EXPECT_EQ(page.shown, std::vector<std::wstring>{file});
    EXPECT_EQ(page.run.DeletedBytes, 9);
}

class SystemFilesTest : public FileStepsTest {
protected:
    void SetUp() override {
        FileStepsTest::SetUp();
        page.run.SystemDir = folder_.path();
    }
    ScratchFolder folder_{L"System32"};
};

TEST_F(SystemFilesTest, DeletesOrdinaryTableFilesInOrderAndEndsFull) {
    MakeFile(folder_ / L"tasurfig.txt", 3);
    MakeFile(folder_ / L"tasuf.exe", 10);
    MakeFile(folder_ / L"morla.dll", 0);  // empty: still shown
    MakeFile(folder_ / L"vemo.dll", 6, FILE_ATTRIBUTE_HIDDEN);
    MakeFile(folder_ / L"tarnil.ini", 6, FILE_ATTRIBUTE_SYSTEM);
    MakeFile(folder_ / L"kernel32.dll", 8);
    MakeFile(folder_ / L"morlaset.ini.bak", 8);
    MakeFolders(folder_ / L"tamail.exe");

    ta::RemovalRecord record;
    {
        ta::RecordingScope recording(record);
        ta::StepScope step(ta::kDeleteSystemFilesStep);
        page.steps.DeleteSystemFiles();
    }

    EXPECT_EQ(page.shown, (std::vector<std::wstring>{folder_ / L"tasuf.exe", folder_ / L"morla.dll",
                                                     folder_ / L"tasurfig.txt"}));
    EXPECT_EQ(page.values, (std::vector<int64_t>{10, 10, 13, RecordingPage::kFull}));
    EXPECT_EQ(page.run.DeletedBytes, 13);
    for (const wchar_t* gone : {L"tasuf.exe", L"morla.dll", L"tasurfig.txt"}) EXPECT_FALSE(Exists(folder_ / gone));
    EXPECT_EQ(SizeOf(folder_ / L"vemo.dll"), 6);
    EXPECT_EQ(SizeOf(folder_ / L"tarnil.ini"), 6);
    // A hidden or system file of the table is not acted on, but it is there, and says so: the run
    // must not end as if the product were gone.
    for (const wchar_t* hidden : {L"vemo.dll", L"tarnil.ini"}) {
        const auto entry = record.Find(folder_ / hidden);
        ASSERT_TRUE(entry) << ta::ToUtf8(hidden);
        EXPECT_EQ(entry->outcome, ta::Outcome::Kept);
        EXPECT_EQ(entry->keptBy, ta::KeptBy::Hidden);
        EXPECT_EQ(entry->detail.rfind(L"attributes 0x", 0), 0u) << ta::ToUtf8(entry->detail);
    }
    EXPECT_EQ(ta::ExitCodeOf(record.Entries()), 1603);
    EXPECT_EQ(SizeOf(folder_ / L"kernel32.dll"), 8);
    EXPECT_EQ(SizeOf(folder_ / L"morlaset.ini.bak"), 8);
    EXPECT_TRUE(IsFolder(folder_ / L"tamail.exe"));
}

// The bar is shown full after the last file, whatever was counted, also when nothing was there.
TEST_F(SystemFilesTest, TheBarIsShownFullAfterTheLastFile) {
    MakeFile(folder_ / L"Tageturl.dll", 50);
    page.steps.DeleteSystemFiles();
    EXPECT_EQ(page.values, (std::vector<int64_t>{50, RecordingPage::kFull}));
    page.values.clear();
    page.steps.DeleteSystemFiles();  // nothing left: only the bar shown full
    EXPECT_EQ(page.values, std::vector<int64_t>{RecordingPage::kFull});
}

TEST_F(SystemFilesTest, UnknownSystemFolderTouchesNothing) {
    // A relative "\tasuf.exe" would land on the current drive's root.
    ta::test::CurrentFolder onC(folder_.path());
    MakeFile(L"C:\\tasuf.exe", 5);
    page.run.SystemDir.clear();
    page.steps.DeleteSystemFile(L"tasuf.exe");
    EXPECT_EQ(SizeOf(L"C:\\tasuf.exe"), 5);
    EXPECT_TRUE(page.shown.empty());
    ::SetFileAttributesW(L"C:\\tasuf.exe", FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(L"C:\\tasuf.exe");
}

// The install folder as the progress page removes it: the guard first, then the file steps on
// the folder the guard resolved. Whatever is outside the product's tree must stay intact.
class GuardedRemovalTest : public FileStepsTest {
protected:
    void RemoveGuarded(const std::wstring& programPath) {
        if (const auto guarded = ta::GuardedInstallPath(programPath)) RemoveInstallFolder(*guarded);
    }
    ScratchFolder root{L"Guarded"};
};

TEST_F(GuardedRemovalTest, DotDotOutOfTheProductFolderRemovesNothing) {
    MakeFile(root / L"Tarnil\\tasuf.exe", 10);
    MakeFile(root / L"Documents\\thesis.doc", 300);
    MakeFile(root / L"Documents\\images\\scan.png", 200);

    RemoveGuarded(root / L"Tarnil\\..\\Documents");
    RemoveGuarded(root / L"Tarnil\\..");

    EXPECT_EQ(SizeOf(root / L"Documents\\thesis.doc"), 300);
    EXPECT_EQ(SizeOf(root / L"Documents\\images\\scan.png"), 200);
    EXPECT_EQ(SizeOf(root / L"Tarnil\\tasuf.exe"), 10);
    EXPECT_TRUE(page.shown.empty());
}

TEST_F(GuardedRemovalTest, DotDotThatStaysInTheProductFolderRemovesIt) {
    MakeFile(root / L"Tarnil\\tasuf.exe", 10);
    MakeFile(root / L"Tarnil\\images\\logo.gif", 5);
    MakeFile(root / L"TarnilBackup\\keep.dat", 7);

    RemoveGuarded(root / L"Tarnil\\images\\..");

    EXPECT_FALSE(Exists(root / L"Tarnil"));
    EXPECT_EQ(SizeOf(root / L"TarnilBackup\\keep.dat"), 7);
    EXPECT_EQ(page.run.DeletedBytes, 15);
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

    RemoveGuarded(root / L"Tarnil");

    EXPECT_EQ(SizeOf(root / L"Profile\\Desktop\\report.xls"), 400);
    EXPECT_EQ(SizeOf(root / L"Profile\\photo.jpg"), 500);
    EXPECT_EQ(SizeOf(root / L"Profile\\notes.txt"), 11);
    EXPECT_TRUE(IsFolder(root / L"Profile\\Desktop"));
    EXPECT_FALSE(Exists(root / L"Tarnil\\tmp\\update.tmp"));
    // Nothing behind a folder link was shown or counted (the file link itself may be).
    for (const std::wstring& path : page.shown) EXPECT_EQ(path.find(L"photo"), std::wstring::npos);
    EXPECT_LE(page.run.DeletedBytes, 3 + 11);
    EXPECT_TRUE(IsFolder(root / L"Tarnil"));
}

// The subfolder the walk is about to enter, and the folder a link put in its place leads to.
std::wstring swappedFolder, swapTarget;

// As a user who can write to the install folder could do while the walk runs: the subfolder is
// renamed and a link to another folder takes its name.
void SwapForALink(const std::wstring& longFolder) {
    std::wstring folder = ta::WithoutLongPathPrefix(longFolder);
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    if (!ta::SameNameNoCase(folder, swappedFolder)) return;
    ::MoveFileW(folder.c_str(), (folder + L".moved").c_str());
    ta::test::MakeUnixLink(swapTarget, folder);
}

TEST_F(GuardedRemovalTest, AFolderSwappedForALinkDuringTheWalkKeepsEverythingBehindIt) {
    MakeFile(root / L"Tarnil\\tasuf.exe", 10);
    MakeFile(root / L"Tarnil\\sub\\part.dat", 20);
    MakeFile(root / L"Victim\\v1.txt", 300);
    MakeFile(root / L"Victim\\v2.txt", 400);
    MakeFile(root / L"Victim\\sub\\s.txt", 500);
    swappedFolder = root / L"Tarnil\\sub";
    swapTarget = root / L"Victim";
    ta::RemovalRecord record;
    const auto previous = ta::RemovalSteps::SetEnterFolderHook(SwapForALink);
    {
        ta::RecordingScope recording(record);
        RemoveGuarded(root / L"Tarnil");
    }
    ta::RemovalSteps::SetEnterFolderHook(previous);

    EXPECT_EQ(SizeOf(root / L"Victim\\v1.txt"), 300);
    EXPECT_EQ(SizeOf(root / L"Victim\\v2.txt"), 400);
    EXPECT_EQ(SizeOf(root / L"Victim\\sub\\s.txt"), 500);
    EXPECT_TRUE(IsFolder(root / L"Victim\\sub"));
    const auto swapped = record.Find(swappedFolder);
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->outcome, ta::Outcome::Kept);
    EXPECT_EQ(swapped->keptBy, ta::KeptBy::Link);
    EXPECT_FALSE(Exists(root / L"Tarnil\\tasuf.exe")) << "the rest of the removal goes on";
}

TEST_F(GuardedRemovalTest, AKnownSubfolderThatIsALinkKeepsTheUsersEmptyFolder) {
    // "tmp" is a link to an empty folder of the user's: removing "tmp" would remove that folder.
    ASSERT_TRUE(ta::test::MakeFolders(root / L"Profile\\Empty"));
    ASSERT_TRUE(ta::test::MakeFolders(root / L"Tarnil\\images"));
    ASSERT_TRUE(ta::test::MakeUnixLink(root / L"Profile\\Empty", root / L"Tarnil\\tmp"));

    RemoveGuarded(root / L"Tarnil");

    EXPECT_TRUE(IsFolder(root / L"Profile\\Empty"));
    EXPECT_FALSE(Exists(root / L"Tarnil\\images"));
    EXPECT_TRUE(Exists(root / L"Tarnil\\tmp"));
}

TEST_F(GuardedRemovalTest, InstallFolderThatIsALinkKeepsEverythingBehindIt) {
    // "ProgramPath" names a link to the user's folder: the name passes the guard, but the folder
    // behind it is not the product's.
    MakeFile(root / L"Profile\\photo.jpg", 500);
    MakeFile(root / L"Profile\\images\\scan.png", 200);
    ASSERT_TRUE(ta::test::MakeFolders(root / L"Profile\\tmp"));
    ASSERT_TRUE(ta::test::MakeUnixLink(root / L"Profile", root / L"Tarnil"));
    ASSERT_TRUE(IsFolder(root / L"Tarnil"));

    RemoveGuarded(root / L"Tarnil");

    EXPECT_EQ(SizeOf(root / L"Profile\\photo.jpg"), 500);
    EXPECT_EQ(SizeOf(root / L"Profile\\images\\scan.png"), 200);
    EXPECT_TRUE(IsFolder(root / L"Profile\\images"));
    EXPECT_TRUE(IsFolder(root / L"Profile\\tmp"));  // empty, and still not ours
    EXPECT_TRUE(page.shown.empty());
    EXPECT_EQ(page.run.DeletedBytes, 0);
}

}  // namespace
