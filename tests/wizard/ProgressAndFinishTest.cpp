#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "record/RemovalRecord.h"
#include "removal/RemovalSteps.h"
#include "run/RunOutcome.h"
#include "support/PendingRestartList.h"
#include "support/ReportService.h"
#include "support/TestRegistry.h"
#include "support/UnixLinks.h"
#include "ui/Page.h"
#include "ui/Twips.h"
#include "wizard/BarShare.h"
#include "wizard/DelFinish.h"
#include "wizard/HandOver.h"
#include "wizard/Un_Start.h"
#include "wizard/WizardTestSupport.h"
#include "wizard/frmAutoFileDel.h"

namespace ta::test {
namespace {

// A folder of the test's own with one file in it, gone with everything below it afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name)
        : path_(L"C:\\ta_wizard_tests\\" + name + L"." + std::to_wstring(::GetCurrentProcessId())) {
        ::CreateDirectoryW(L"C:\\ta_wizard_tests", nullptr);
        ::CreateDirectoryW(path_.c_str(), nullptr);
        HANDLE file = ::CreateFileW(File().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(file, "0123456789", 10, &written, nullptr);
        ::CloseHandle(file);
    }
    ~ScratchFolder() {
        ::DeleteFileW(File().c_str());
        ::RemoveDirectoryW(path_.c_str());
        ::RemoveDirectoryW(L"C:\\ta_wizard_tests");
    }
    const std::wstring& Path() const { return path_; }
    std::wstring File() const { return path_ + L"\\data.bin"; }
    bool FileExists() const { return ::GetFileAttributesW(File().c_str()) != INVALID_FILE_ATTRIBUTES; }

private:
    std::wstring path_;
};

int LoadedFinishPages() {
    int count = 0;
    for (Page* page : LoadedPages())
        if (dynamic_cast<DelFinish*>(page)) ++count;
    return count;
}

using ProgressPageTest = WizardTest;

// Runs the removal as the timer does and waits for the finish page; the page is gone afterwards.
void Tick(frmAutoFileDel& page) {
    ::SendMessageW(page.hWnd(), WM_TIMER, frmAutoFileDel::kTimer1Id, 0);
    ASSERT_TRUE(PumpUntil([] { return LoadedFinishPages() > 0; }, 60000));
}

// A page that notes the install folder the file steps were given.
class RecordingPage : public frmAutoFileDel {
public:
    using frmAutoFileDel::frmAutoFileDel;
    static inline std::wstring seenInstallPath;

protected:
    void ShowFilePath(const std::wstring& path) override {
        frmAutoFileDel::ShowFilePath(path);
        seenInstallPath = Run().InstallPath;
    }
};
using FinishPageTest = WizardTest;

// A product of 3.4 GB: "ToTFile" is above 2^31, where a signed Max would turn negative. The bar
// still runs from 0 to full, a quarter of the bytes shows as a quarter of it (to the accessible
// value too), and a total below 2^31 goes to the bar as it is.
TEST_F(ProgressPageTest, ABarPast2GBShowsTheTrueShareOfTheBytes) {
    constexpr DWORD kTotal = 3435973836u;  // 3.2 GiB
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kProductKey, L"ToTFile", kTotal));
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>(run);
    ASSERT_GT(page.ucProgressBar1.Max(), 0);
    const BarShare share(kTotal);
    EXPECT_EQ(page.ucProgressBar1.Max(), share.Max());
    page.ucProgressBar1.Value(share.ValueOf(int64_t{kTotal} / 4));
    EXPECT_NEAR(page.ucProgressBar1.Percent(), 25.0, 0.01);
    page.ucProgressBar1.Value(share.ValueOf(kTotal));
    EXPECT_NEAR(page.ucProgressBar1.Percent(), 100.0, 0.01);
    EXPECT_EQ(BarShare(123456).Max(), 123456);
    EXPECT_EQ(BarShare(123456).ValueOf(1000), 1000);
}

TEST_F(ProgressPageTest, LooksAsStored) {
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kProductKey, L"ToTFile", 123456));
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>(run);
    page.Show();
    DispatchPendingMessages();

    wchar_t caption[64] = {};
    ::GetWindowTextW(page.hWnd(), caption, 64);
    EXPECT_STREQ(caption, L"타르닐-제거");
    EXPECT_EQ(OuterSize(page.hWnd()).cx, TwipsX(7050));
    EXPECT_EQ(OuterSize(page.hWnd()).cy, TwipsY(4700));

    EXPECT_EQ(page.Label1->Caption(), L"제거 상태");
    EXPECT_EQ(page.Label1->Font(), LabelFont::Bold);
    EXPECT_EQ(page.Label1->ForeColor(), RGB(255, 255, 255));
    EXPECT_EQ(page.Label1->Rect().left, 240);
    EXPECT_EQ(page.Label1->Rect().top, 240);
    EXPECT_EQ(page.Label2->Caption(), L"타르닐 제거 프로그램이 요청한 작업을 수행 중입니다");
    EXPECT_TRUE(page.Label3->Caption().empty());
    EXPECT_EQ(page.Label3->Rect().top, 1680);

    // Only "취소" of the button row, at its place.
    EXPECT_EQ(page.Command1(0), nullptr);
    EXPECT_EQ(page.Command1(1), nullptr);
    ASSERT_NE(page.Command1(2), nullptr);
    EXPECT_EQ(page.Command1(2)->Caption(), L"취소");
    EXPECT_EQ(ChildRect(page.Command1(2)->hWnd()).left, TwipsX(5520));
    EXPECT_EQ(ChildRect(page.Command1(2)->hWnd()).top, TwipsY(3720));

    const RECT bar = ChildRect(page.ucProgressBar1.hWnd());
    EXPECT_EQ(bar.left, TwipsX(240));
    EXPECT_EQ(bar.top, TwipsY(2040));
    EXPECT_EQ(bar.right - bar.left, TwipsX(6375));
    EXPECT_EQ(bar.bottom - bar.top, TwipsY(375));
    EXPECT_EQ(page.ucProgressBar1.Min(), 0);
    EXPECT_EQ(page.ucProgressBar1.Max(), 123456);
    EXPECT_TRUE(page.ucProgressBar1.Segments());  // from the page's stored property set

    // Text1 lies below the visible area.
    RECT client;
    ::GetClientRect(page.hWnd(), &client);
    EXPECT_GE(ChildRect(page.Text1Box->hWnd()).top, client.bottom);

    EXPECT_EQ(page.Timer1->Interval(), 1000u);
    EXPECT_TRUE(page.Timer1->Enabled());
    EXPECT_EQ(page.Image1->GetPicture(), Un_Start::Banner());
}

TEST_F(ProgressPageTest, MissingTotalGivesMaxZero) {
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>(run);
    EXPECT_EQ(page.ucProgressBar1.Max(), 0);
}

TEST_F(ProgressPageTest, TimerRunsTheRemovalOnceAboutASecondAfterLoad) {
    ScratchFolder folder(L"Tarnil");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    const DWORD start = ::GetTickCount();
    LoadPage<frmAutoFileDel>(run).Show();
    ASSERT_TRUE(PumpUntil([] { return LoadedFinishPages() > 0; }, 30000));
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 900u);

    EXPECT_EQ(FindPage<frmAutoFileDel>(), nullptr);  // the finish page's load closed it
    EXPECT_FALSE(folder.FileExists());
    EXPECT_EQ(run.DeletedBytes, 10);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));

    // No second removal and no second finish page.
    PumpFor(2500);
    EXPECT_EQ(LoadedFinishPages(), 1);
    EXPECT_EQ(run.DeletedBytes, 10);
}

// A page whose removal lets messages through while it runs, as a step that waits on another
// program may do, with a tick waiting among them.
class PumpingPage : public frmAutoFileDel {
public:
    using frmAutoFileDel::frmAutoFileDel;
protected:
    void ShowFilePath(const std::wstring& path) override {
        frmAutoFileDel::ShowFilePath(path);
        ::PostMessageW(hWnd(), WM_TIMER, kTimer1Id, 0);
        DispatchPendingMessages();
    }
};

TEST_F(ProgressPageTest, NoSecondTickWhileTheRemovalRuns) {
    ScratchFolder folder(L"Tarnil");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    LoadPage<PumpingPage>(run).Show();
    ASSERT_TRUE(PumpUntil([] { return LoadedFinishPages() > 0; }, 30000));
    PumpFor(200);
    EXPECT_FALSE(folder.FileExists());
    EXPECT_EQ(LoadedFinishPages(), 1);
    EXPECT_EQ(run.DeletedBytes, 10);
}

TEST_F(ProgressPageTest, FolderOfOthersStaysWhileEverythingElseIsRemoved) {
    ScratchFolder folder(L"Other");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    Tick(LoadPage<frmAutoFileDel>(run));
    EXPECT_TRUE(folder.FileExists());
    EXPECT_EQ(run.DeletedBytes, 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_EQ(LoadedFinishPages(), 1);
}

TEST_F(ProgressPageTest, CapitalsPassTheGuardAndPathsAreNormalised) {
    ScratchFolder folder(L"TARNIL");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path() + L"\\sub\\.."));
    RecordingPage::seenInstallPath.clear();
    Tick(LoadPage<RecordingPage>(run));
    EXPECT_FALSE(folder.FileExists());
    EXPECT_EQ(RecordingPage::seenInstallPath.rfind(folder.Path(), 0), 0u) << ToUtf8(RecordingPage::seenInstallPath);
    EXPECT_EQ(RecordingPage::seenInstallPath.find(L".."), std::wstring::npos);
}

TEST_F(ProgressPageTest, DotDotOutOfAProductFolderFailsTheGuard) {
    ScratchFolder other(L"Other");
    ScratchFolder product(L"Tarnil");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", product.Path() + L"\\..\\" +
                                                                            other.Path().substr(other.Path().rfind(L'\\') + 1)));
    Tick(LoadPage<frmAutoFileDel>(run));
    EXPECT_TRUE(other.FileExists());
    EXPECT_TRUE(product.FileExists());
}

TEST_F(ProgressPageTest, MissingProductKeyIsNotCreatedAndTheFinishPageStillComes) {
    Tick(LoadPage<frmAutoFileDel>(run));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_EQ(LoadedFinishPages(), 1);
    EXPECT_EQ(FindPage<frmAutoFileDel>(), nullptr);
}

TEST_F(ProgressPageTest, CloseBoxBeforeTheFirstTickRemovesNothing) {
    ScratchFolder folder(L"Tarnil");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>(run);
    page.Show();
    ::SendMessageW(page.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(FindPage<frmAutoFileDel>(), nullptr);
    EXPECT_EQ(shell.quitCount, 1);
    PumpFor(1500);
    EXPECT_EQ(LoadedFinishPages(), 0);
    EXPECT_TRUE(folder.FileExists());
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath").has_value());
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kProductKey, L"Uninstall").has_value());
}

TEST_F(ProgressPageTest, CancelDoesNothing) {
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>(run);
    page.Show();
    ::SendMessageW(page.Command1(2)->hWnd(), BM_CLICK, 0, 0);
    DispatchPendingMessages();
    EXPECT_TRUE(shell.shown.empty());
    EXPECT_EQ(shell.endCount, 0);
    EXPECT_EQ(FindPage<frmAutoFileDel>(), &page);
    EXPECT_TRUE(page.Timer1->Enabled());
}

// A page that notes what it showed when the finish page closed it.
class WatchedPage : public frmAutoFileDel {
public:
    using frmAutoFileDel::frmAutoFileDel;
    static inline std::wstring lastPath;
    static inline int32_t lastValue = -1;

protected:
    void OnUnload() override {
        lastPath = Label3->Caption();
        lastValue = ucProgressBar1.Value();
        frmAutoFileDel::OnUnload();
    }
};

// Sends the page a no-op message every 20 ms from another thread; keeps the longest wait.
class SentMessageProbe {
public:
    explicit SentMessageProbe(HWND page) : page_(page), thread_(::CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}
    ~SentMessageProbe() {
        stop_ = true;
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
    }
    DWORD LongestMs() const { return longest_; }

private:
    static DWORD WINAPI Run(LPVOID self) {
        auto& probe = *static_cast<SentMessageProbe*>(self);
        while (!probe.stop_ && ::IsWindow(probe.page_)) {
            const DWORD from = ::GetTickCount();
            DWORD_PTR result = 0;
            ::SendMessageTimeoutW(probe.page_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result);
            probe.longest_ = std::max<DWORD>(probe.longest_, ::GetTickCount() - from);
            ::Sleep(20);
        }
        return 0;
    }
    HWND page_;
    std::atomic<bool> stop_{false};
    std::atomic<DWORD> longest_{0};
    HANDLE thread_;
};

TEST_F(ProgressPageTest, StaysAliveAndIgnoresInputWhileALargeTreeIsRemoved) {
    ScratchFolder folder(L"Tarnil");
    std::wstring lastFile;
    uint32_t total = 10;  // the folder's own data.bin, deleted before its subfolders
    for (int sub = 10; sub < 30; ++sub) {
        const std::wstring dir = folder.Path() + L"\\d" + std::to_wstring(sub);
        ::CreateDirectoryW(dir.c_str(), nullptr);
        for (int i = 100; i < 200; ++i) {
            lastFile = dir + L"\\f" + std::to_wstring(i) + L".bin";
            HANDLE file = ::CreateFileW(lastFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            ::WriteFile(file, "0123456789abcdef", 16, &written, nullptr);
            ::CloseHandle(file);
            total += 16;
        }
    }
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kProductKey, L"ToTFile", total * 4));
    WatchedPage& page = LoadPage<WatchedPage>(run);
    page.Show();
    const HWND window = page.hWnd();
    DWORD longest = 0;
    {
        SentMessageProbe probe(window);
        ::SendMessageW(window, WM_TIMER, frmAutoFileDel::kTimer1Id, 0);
        ASSERT_TRUE(page.RemovalRunning());
        // A person trying to stop it half-way: the close box, Alt+F4 and "취소" do nothing.
        ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(kCommand1BaseId + 2, BN_CLICKED),
                       reinterpret_cast<LPARAM>(page.Command1(2)->hWnd()));
        ASSERT_TRUE(PumpUntil([] { return LoadedFinishPages() > 0; }, 120000));
        longest = probe.LongestMs();
    }
    EXPECT_LT(longest, 1000u) << "the page did not answer the system for " << longest << " ms";
    EXPECT_EQ(shell.quitCount, 0);
    EXPECT_EQ(shell.endCount, 0);
    PumpFor(300);
    EXPECT_EQ(LoadedFinishPages(), 1);
    EXPECT_FALSE(::IsWindow(window));
    // The last file deleted is what the page showed last, and the bar ended full.
    EXPECT_EQ(WatchedPage::lastPath, lastFile);
    EXPECT_EQ(WatchedPage::lastValue, static_cast<int32_t>(total * 4));
    EXPECT_EQ(run.DeletedBytes, static_cast<int32_t>(total));
    EXPECT_EQ(::GetFileAttributesW(lastFile.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ProgressPageTest, RecordNamesTheStepAndTheErrorOfWhatStayed) {
    ScratchFolder folder(L"Tarnil");
    const std::wstring readOnly = folder.Path() + L"\\licence.txt";
    const std::wstring held = folder.Path() + L"\\held.dat";
    for (const std::wstring& path : {readOnly, held}) {
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(file, "x", 1, &written, nullptr);
        ::CloseHandle(file);
    }
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    // Held open by someone who does not let it be deleted, in a folder others may change: it can
    // neither go now nor wait for the restart there.
    ASSERT_TRUE(LetOthersChange(folder.Path()));
    HANDLE holder = ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    PendingRestartList pendingList;  // put back as it was

    RemovalRecord& record = run.record;
    Tick(LoadPage<frmAutoFileDel>(run));
    ::CloseHandle(holder);
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A read-only file of ours loses the attribute and goes; one held open stays, and says why.
    const auto readOnlyEntry = record.Find(readOnly);
    ASSERT_TRUE(readOnlyEntry);
    EXPECT_EQ(readOnlyEntry->step, L"FindFilesAPI");
    EXPECT_EQ(readOnlyEntry->outcome, Outcome::Removed);
    EXPECT_EQ(::GetFileAttributesW(readOnly.c_str()), INVALID_FILE_ATTRIBUTES);
    const auto heldEntry = record.Find(held);
    ASSERT_TRUE(heldEntry);
    EXPECT_EQ(heldEntry->step, L"FindFilesAPI");
    EXPECT_EQ(heldEntry->outcome, Outcome::Kept);
    EXPECT_EQ(heldEntry->keptBy, KeptBy::InUse);
    EXPECT_EQ(heldEntry->error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // The folder it keeps stays with it, and counts as staying; what was never installed is absent.
    const auto folderEntry = record.Find(folder.Path());
    ASSERT_TRUE(folderEntry);
    EXPECT_EQ(folderEntry->step, L"RemoveInstallFolders");
    EXPECT_EQ(folderEntry->outcome, Outcome::Failed);
    EXPECT_EQ(folderEntry->error, static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    const auto uninstallEntry =
        record.Find(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnil");
    ASSERT_TRUE(uninstallEntry);
    EXPECT_EQ(uninstallEntry->step, L"RemoveRegistryEntries");
    EXPECT_EQ(uninstallEntry->outcome, Outcome::Absent);
}

// ---- Finish page ---------------------------------------------------------------------------

TEST_F(FinishPageTest, LoadClosesTheProgressPageAndLeavesOnlyFinish) {
    LoadPage<frmAutoFileDel>(run).Show();
    DelFinish& page = LoadPage<DelFinish>(run);
    page.Show();
    DispatchPendingMessages();
    EXPECT_EQ(FindPage<frmAutoFileDel>(), nullptr);
    ASSERT_EQ(LoadedPages().size(), 1u);

    const wchar_t* captions[] = {L"< 뒤로", L"완료", L"취소"};
    const int lefts[] = {2640, 3840, 5520};
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(page.Command1(i), nullptr);
        EXPECT_EQ(page.Command1(i)->Caption(), captions[i]);
        EXPECT_EQ(ChildRect(page.Command1(i)->hWnd()).left, TwipsX(lefts[i]));
        EXPECT_EQ(ChildRect(page.Command1(i)->hWnd()).top, TwipsY(3720));
    }
    EXPECT_FALSE(page.Command1(0)->Enabled());
    EXPECT_TRUE(page.Command1(1)->Enabled());
    EXPECT_FALSE(page.Command1(2)->Enabled());
    EXPECT_EQ(::GetFocus(), page.Command1(1)->hWnd());

    EXPECT_EQ(page.Label1->Caption(), L"약관동의");
    EXPECT_EQ(page.Label1->Rect().top, 120);
    EXPECT_EQ(page.Label1->Font(), LabelFont::Bold);
    EXPECT_EQ(page.Label2->Caption(), L"타르닐 프로그램 제거작업이 모두 완료되었습니다.");
    EXPECT_EQ(page.Label4->Caption(), L"완료를 누르시면 타르닐 프로그램 제거작업을 마칩니다.");
    EXPECT_EQ(page.Image1->GetPicture(), Un_Start::Banner());
    EXPECT_EQ(OuterSize(page.hWnd()).cx, TwipsX(7050));
    EXPECT_EQ(OuterSize(page.hWnd()).cy, TwipsY(4700));
}

TEST_F(FinishPageTest, SaysSoWhenFilesWaitForTheRestartAndEndsWith3010) {
    RemovalRecord& record = run.record;
    DelFinish& plain = LoadPage<DelFinish>(run);
    EXPECT_EQ(plain.RestartLabel, nullptr);
    plain.Unload();
    EXPECT_EQ(shell.lastExitCode, 0);

    record.Add({{}, kFindFilesAPIStep.name, kFindFilesAPIStep.footprint, ItemKind::File, L"C:\\Tarnil\\held.dat",
                Outcome::PendingRestart, KeptBy::None, ERROR_SHARING_VIOLATION, L""});
    DelFinish& page = LoadPage<DelFinish>(run);
    page.Show();
    ASSERT_NE(page.RestartLabel, nullptr);
    // A line of the page's own, readable by assistive tools, between the texts and the line.
    wchar_t text[128] = {};
    ::GetWindowTextW(page.RestartLabel->hWnd(), text, 128);
    EXPECT_STREQ(text, L"일부 파일은 컴퓨터를 다시 시작하면 삭제됩니다.");
    EXPECT_TRUE(::IsWindowVisible(page.RestartLabel->hWnd()));
    EXPECT_EQ(page.RestartLabel->Font(), page.Label2->Font());
    EXPECT_GE(ChildRect(page.RestartLabel->hWnd()).top, ChildRect(page.Label4->hWnd()).bottom);
    EXPECT_LT(ChildRect(page.RestartLabel->hWnd()).bottom, TwipsY(3600));
    // The restart is offered, "later" chosen at first: "완료" then ends 3010, no restart asked.
    ASSERT_TRUE(page.RestartNow && page.RestartLater);
    EXPECT_TRUE(::IsWindowVisible(page.RestartNow->hWnd()));
    EXPECT_TRUE(page.RestartLater->Checked());
    EXPECT_FALSE(page.RestartNow->Checked());
    const auto pressDone = [&](DelFinish& finish) {
        ::SendMessageW(finish.Command1(1)->hWnd(), BM_CLICK, 0, 0);
        return PumpUntil([] { return FindPage<DelFinish>() == nullptr; }, 15000);
    };
    ASSERT_TRUE(pressDone(page));
    EXPECT_EQ(shell.lastExitCode, 3010);
    EXPECT_EQ(shell.restartRequests, 0);

    // "지금 다시 시작": the report, then the restart is asked for, and the run ends 1641.
    DelFinish& now = LoadPage<DelFinish>(run);
    now.Show();
    ::SendMessageW(now.RestartNow->hWnd(), BM_CLICK, 0, 0);
    EXPECT_FALSE(now.RestartLater->Checked());
    ASSERT_TRUE(pressDone(now));
    EXPECT_EQ(shell.restartRequests, 1);
    EXPECT_EQ(shell.lastExitCode, 1641);
    // A restart the system refuses is recorded with its reason; the run still waits for one.
    shell.restartAnswer = ERROR_PRIVILEGE_NOT_HELD;
    DelFinish& refused = LoadPage<DelFinish>(run);
    refused.Show();
    ::SendMessageW(refused.RestartNow->hWnd(), BM_CLICK, 0, 0);
    ASSERT_TRUE(pressDone(refused));
    EXPECT_EQ(shell.restartRequests, 2);
    EXPECT_EQ(shell.lastExitCode, 3010);
    const auto refusal = record.Find(L"restart");
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->outcome, Outcome::Failed);
    EXPECT_EQ(refusal->error, static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
    // Asked never to restart (/norestart), the page offers no restart but still says one is due.
    run.request.noRestart = true;
    DelFinish& norestart = LoadPage<DelFinish>(run);
    norestart.Show();
    EXPECT_TRUE(norestart.RestartNow == nullptr || !::IsWindowVisible(norestart.RestartNow->hWnd()));
    EXPECT_EQ(norestart.RestartLabel->Caption(), L"일부 파일은 컴퓨터를 다시 시작하면 삭제됩니다.");
    ASSERT_TRUE(pressDone(norestart));
    EXPECT_EQ(shell.restartRequests, 2);
    EXPECT_EQ(shell.lastExitCode, 3010);

    // What failed outright outweighs what waits.
    record.Add({{}, kFindFilesAPIStep.name, kFindFilesAPIStep.footprint, ItemKind::File, L"C:\\Tarnil\\broken.dat", Outcome::Failed, KeptBy::None,
                ERROR_INVALID_NAME, L""});
    LoadPage<DelFinish>(run).Unload();
    EXPECT_EQ(shell.lastExitCode, 1603);
}

TEST_F(FinishPageTest, TakingTheBannerDoesNotBringTheStartPageBack) {
    Un_Start& start = LoadPage<Un_Start>(run);
    start.Unload();
    LoadPage<DelFinish>(run);
    EXPECT_EQ(FindPage<Un_Start>(), nullptr);
    ASSERT_TRUE(FindPage<DelFinish>());
    EXPECT_TRUE(FindPage<DelFinish>()->Image1->GetPicture());
}

// A finish page that notes whether "완료" could be pressed again when the page went.
class WatchedFinish : public DelFinish {
public:
    using DelFinish::DelFinish;
    static inline bool doneEnabledAtUnload = false;

protected:
    void OnUnload() override {
        doneEnabledAtUnload = Command1(1)->Enabled();
        DelFinish::OnUnload();
    }
};

// "완료" sends the report, then ends the program. The report has 5 s in all (this service answers
// its description and its call after 4 s each); the page answers all the while, with "완료"
// greyed until the report has ended.
TEST_F(FinishPageTest, DoneSendsTheReportWhileThePageAnswersThenEndsTheProgram) {
    ReportService service;
    ASSERT_TRUE(service.running()) << "the local report service did not start";
    run.PidSetting = L"1234";
    run.MServerSetting = service.base(L"slow");
    WatchedFinish& page = LoadPage<WatchedFinish>(run);
    page.Show();
    const HWND done = page.Command1(1)->hWnd();
    const ULONGLONG start = ::GetTickCount64();
    {
        SentMessageProbe probe(page.hWnd());
        ::SendMessageW(done, BM_CLICK, 0, 0);
        EXPECT_FALSE(::IsWindowEnabled(done)) << "greyed while the report is sent";
        EXPECT_EQ(shell.endCount, 0);
        ASSERT_TRUE(PumpUntil([] { return FindPage<DelFinish>() == nullptr; }, 15000));
        EXPECT_LT(probe.LongestMs(), 1000u) << "the page answered while the report was sent";
    }
    EXPECT_LT(::GetTickCount64() - start, 5000u + 1500u) << "one 5 s limit for description and call";
    EXPECT_TRUE(WatchedFinish::doneEnabledAtUnload);
    EXPECT_EQ(shell.endCount, 1);

    // The report's line, under its step, though it was sent from another thread.
    const auto entries = run.record.Entries();
    const auto report = std::find_if(entries.begin(), entries.end(),
                                     [](const RecordEntry& e) { return e.kind == ItemKind::Report; });
    ASSERT_NE(report, entries.end());
    EXPECT_EQ(report->step, L"SendUninstallReport");
    EXPECT_EQ(report->detail, L"not sent: no service answered in 5 s");
}

TEST_F(FinishPageTest, CloseBoxEndsTheProgram) {
    DelFinish& page = LoadPage<DelFinish>(run);
    page.Show();
    ::SendMessageW(page.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(shell.endCount, 1);
    EXPECT_EQ(FindPage<DelFinish>(), nullptr);
}

TEST_F(FinishPageTest, OtherButtonsDoNothing) {
    DelFinish& page = LoadPage<DelFinish>(run);
    for (int index : {0, 2})
        ::SendMessageW(page.hWnd(), WM_COMMAND, MAKEWPARAM(kCommand1BaseId + index, BN_CLICKED),
                       reinterpret_cast<LPARAM>(page.Command1(index)->hWnd()));
    EXPECT_EQ(shell.endCount, 0);
    EXPECT_EQ(FindPage<DelFinish>(), &page);
}

}  // namespace
}  // namespace ta::test
