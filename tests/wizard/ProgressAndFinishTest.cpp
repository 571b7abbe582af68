#include <gtest/gtest.h>

#include <string>

#include "platform/Page.h"
#include "platform/ProgramValues.h"
#include "platform/Text.h"
#include "platform/Twips.h"
#include "support/TestRegistry.h"
#include "wizard/DelFinish.h"
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

// Runs the removal as the timer does; the page is gone afterwards.
void Tick(frmAutoFileDel& page) { ::SendMessageW(page.hWnd(), WM_TIMER, frmAutoFileDel::kTimer1Id, 0); }

// A page that notes the install folder the file steps were given.
class RecordingPage : public frmAutoFileDel {
public:
    static inline std::wstring seenInstallPath;

protected:
    void ShowFilePath(const std::wstring& path) override {
        frmAutoFileDel::ShowFilePath(path);
        seenInstallPath = InstallPath;
    }
};
using FinishPageTest = WizardTest;

TEST_F(ProgressPageTest, LooksAsStored) {
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kProductKey, L"ToTFile", 123456));
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>();
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
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>();
    EXPECT_EQ(page.ucProgressBar1.Max(), 0);
}

TEST_F(ProgressPageTest, TimerRunsTheRemovalOnceAboutASecondAfterLoad) {
    ScratchFolder folder(L"Tarnil");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    const DWORD start = ::GetTickCount();
    LoadPage<frmAutoFileDel>().Show();
    ASSERT_TRUE(PumpUntil([] { return LoadedFinishPages() > 0; }, 30000));
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 900u);

    EXPECT_EQ(FindPage<frmAutoFileDel>(), nullptr);  // the finish page's load closed it
    EXPECT_FALSE(folder.FileExists());
    EXPECT_EQ(DeletedBytes, 10);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));

    // No second removal and no second finish page.
    PumpFor(2500);
    EXPECT_EQ(LoadedFinishPages(), 1);
    EXPECT_EQ(DeletedBytes, 10);
}

// A page whose removal lets messages through while it runs, as a step that waits on another
// program may do, with a tick waiting among them.
class PumpingPage : public frmAutoFileDel {
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
    LoadPage<PumpingPage>().Show();
    ASSERT_TRUE(PumpUntil([] { return LoadedFinishPages() > 0; }, 30000));
    PumpFor(200);
    EXPECT_FALSE(folder.FileExists());
    EXPECT_EQ(LoadedFinishPages(), 1);
    EXPECT_EQ(DeletedBytes, 10);
}

TEST_F(ProgressPageTest, FolderOfOthersStaysWhileEverythingElseIsRemoved) {
    ScratchFolder folder(L"Other");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    Tick(LoadPage<frmAutoFileDel>());
    EXPECT_TRUE(folder.FileExists());
    EXPECT_EQ(DeletedBytes, 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_EQ(LoadedFinishPages(), 1);
}

TEST_F(ProgressPageTest, CapitalsPassTheGuardAndPathsAreNormalised) {
    ScratchFolder folder(L"TARNIL");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path() + L"\\sub\\.."));
    RecordingPage::seenInstallPath.clear();
    Tick(LoadPage<RecordingPage>());
    EXPECT_FALSE(folder.FileExists());
    EXPECT_EQ(RecordingPage::seenInstallPath.rfind(folder.Path(), 0), 0u) << ToUtf8(RecordingPage::seenInstallPath);
    EXPECT_EQ(RecordingPage::seenInstallPath.find(L".."), std::wstring::npos);
}

TEST_F(ProgressPageTest, DotDotOutOfAProductFolderFailsTheGuard) {
    ScratchFolder other(L"Other");
    ScratchFolder product(L"Tarnil");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", product.Path() + L"\\..\\" +
                                                                            other.Path().substr(other.Path().rfind(L'\\') + 1)));
    Tick(LoadPage<frmAutoFileDel>());
    EXPECT_TRUE(other.FileExists());
    EXPECT_TRUE(product.FileExists());
}

TEST_F(ProgressPageTest, MissingProductKeyIsNotCreatedAndTheFinishPageStillComes) {
    Tick(LoadPage<frmAutoFileDel>());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_EQ(LoadedFinishPages(), 1);
    EXPECT_EQ(FindPage<frmAutoFileDel>(), nullptr);
}

TEST_F(ProgressPageTest, CloseBoxBeforeTheFirstTickRemovesNothing) {
    ScratchFolder folder(L"Tarnil");
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"ProgramPath", folder.Path()));
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>();
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
    frmAutoFileDel& page = LoadPage<frmAutoFileDel>();
    page.Show();
    ::SendMessageW(page.Command1(2)->hWnd(), BM_CLICK, 0, 0);
    DispatchPendingMessages();
    EXPECT_TRUE(shell.shown.empty());
    EXPECT_EQ(shell.endCount, 0);
    EXPECT_EQ(FindPage<frmAutoFileDel>(), &page);
    EXPECT_TRUE(page.Timer1->Enabled());
}

// The steps' view of the page: Label3 shows the path at once, Text1 keeps its text.
class StepsView : public frmAutoFileDel {
public:
    using frmAutoFileDel::SetBarValue;
    using frmAutoFileDel::SetText1;
    using frmAutoFileDel::ShowFilePath;
    using frmAutoFileDel::Text1;
    using frmAutoFileDel::BarMax;
};

TEST_F(ProgressPageTest, StepsSeeTheBarTheLabelAndText1) {
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, kProductKey, L"ToTFile", 500));
    StepsView& page = LoadPage<StepsView>();
    page.Show();
    DispatchPendingMessages();
    EXPECT_EQ(page.BarMax(), 500);
    page.SetBarValue(250);
    EXPECT_EQ(page.ucProgressBar1.Value(), 250);
    page.ShowFilePath(L"C:\\Tarnil\\a.dll");
    EXPECT_EQ(page.Label3->Caption(), L"C:\\Tarnil\\a.dll");
    // Painted without a trip through the message loop: the label's area is no longer dirty.
    RECT dirty{};
    EXPECT_FALSE(::GetUpdateRect(page.hWnd(), &dirty, FALSE));
    page.SetText1(L"{6E5D0E21}");
    EXPECT_EQ(page.Text1(), L"{6E5D0E21}");
}

// ---- Finish page ---------------------------------------------------------------------------

TEST_F(FinishPageTest, LoadClosesTheProgressPageAndLeavesOnlyFinish) {
    LoadPage<frmAutoFileDel>().Show();
    DelFinish& page = LoadPage<DelFinish>();
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

TEST_F(FinishPageTest, TakingTheBannerDoesNotBringTheStartPageBack) {
    Un_Start& start = LoadPage<Un_Start>();
    start.Unload();
    LoadPage<DelFinish>();
    EXPECT_EQ(FindPage<Un_Start>(), nullptr);
    ASSERT_TRUE(FindPage<DelFinish>());
    EXPECT_TRUE(FindPage<DelFinish>()->Image1->GetPicture());
}

TEST_F(FinishPageTest, DoneEndsTheProgram) {
    PidSetting = MServerSetting = L"Error";  // no report can be sent: no network either
    DelFinish& page = LoadPage<DelFinish>();
    page.Show();
    ::SendMessageW(page.Command1(1)->hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(shell.endCount, 1);
    EXPECT_EQ(FindPage<DelFinish>(), nullptr);
}

TEST_F(FinishPageTest, CloseBoxEndsTheProgram) {
    DelFinish& page = LoadPage<DelFinish>();
    page.Show();
    ::SendMessageW(page.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(shell.endCount, 1);
    EXPECT_EQ(FindPage<DelFinish>(), nullptr);
}

TEST_F(FinishPageTest, OtherButtonsDoNothing) {
    DelFinish& page = LoadPage<DelFinish>();
    for (int index : {0, 2})
        ::SendMessageW(page.hWnd(), WM_COMMAND, MAKEWPARAM(kCommand1BaseId + index, BN_CLICKED),
                       reinterpret_cast<LPARAM>(page.Command1(index)->hWnd()));
    EXPECT_EQ(shell.endCount, 0);
    EXPECT_EQ(FindPage<DelFinish>(), &page);
}

}  // namespace
}  // namespace ta::test
