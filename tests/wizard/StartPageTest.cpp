#include <gtest/gtest.h>

#include "support/TestRegistry.h"
#include "ui/Page.h"
#include "ui/Twips.h"
#include "wizard/DelFinish.h"
#include "wizard/Startup.h"
#include "wizard/Un_Start.h"
#include "wizard/WizardTestSupport.h"
#include "wizard/frmAutoFileDel.h"

namespace ta::test {
namespace {

constexpr wchar_t kClosingNotice[] =
    L"타르닐가 적용된 모든 프로그램 (IE, MSN Messenger, Outlook Express,Outlook 등) 이 종료됩니다";

class StartPageTest : public WizardTest {
protected:
    Un_Start& ShowStartPage() {
        Un_Start& page = LoadPage<Un_Start>(run);
        page.Show();
        DispatchPendingMessages();
        return page;
    }
    void Click(Page& page, int index) { ::SendMessageW(page.Command1(index)->hWnd(), BM_CLICK, 0, 0); }
};

TEST_F(StartPageTest, LooksAsStored) {
    Un_Start& page = ShowStartPage();
    HWND hwnd = page.hWnd();
    wchar_t caption[64] = {};
    ::GetWindowTextW(hwnd, caption, 64);
    EXPECT_STREQ(caption, L"타르닐-제거");

    // Fixed border, close box only.
    const LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(::IsWindowVisible(hwnd));

    const SIZE outer = OuterSize(hwnd);
    EXPECT_EQ(outer.cx, TwipsX(7050));
    EXPECT_EQ(outer.cy, TwipsY(4700));
    if (ScreenDpiX() == 96) {
        EXPECT_EQ(outer.cx, 470);
        EXPECT_EQ(outer.cy, 313);
    }
    // Centred on the screen.
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    EXPECT_LE(std::abs((rc.left + rc.right) / 2 - ::GetSystemMetrics(SM_CXSCREEN) / 2), 1);
    EXPECT_LE(std::abs((rc.top + rc.bottom) / 2 - ::GetSystemMetrics(SM_CYSCREEN) / 2), 1);

    const wchar_t* captions[] = {L"< 뒤로", L"다음 >", L"취소"};
    const int lefts[] = {2640, 3840, 5520};
    for (int i = 0; i < 3; ++i) {
        Button* button = page.Command1(i);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->Caption(), captions[i]);
        const RECT r = ChildRect(button->hWnd());
        EXPECT_EQ(r.left, TwipsX(lefts[i]));
        EXPECT_EQ(r.top, TwipsY(3720));
        EXPECT_EQ(r.right - r.left, TwipsX(1215));
        EXPECT_EQ(r.bottom - r.top, TwipsY(375));
    }
    EXPECT_FALSE(page.Command1(0)->Enabled());
    EXPECT_TRUE(page.Command1(1)->Enabled());
    EXPECT_TRUE(page.Command1(2)->Enabled());
    EXPECT_EQ(::GetFocus(), page.Command1(1)->hWnd());

    EXPECT_EQ(page.Label2->Caption(), L"타르닐 프로그램 제거를 시작합니다.");
    EXPECT_EQ(page.Label3_1->Caption(), L"제거를 시작하기 전에 실행 중인 다른 프로그램을 종료하는 것이 좋습니다.");
    EXPECT_EQ(page.Label3_0->Caption(), L"타르닐가 적용된 모든 프로그램이 종료됩니다. ");
    EXPECT_EQ(page.Label3_0->Rect().top, 2280);
    EXPECT_EQ(page.Label3_0->Rect().width, 6735);

    // The banner from the program's resources, at the top left at its own size.
    auto banner = Un_Start::Banner();
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->HimetricSize().cx, 12144);
    EXPECT_EQ(banner->HimetricSize().cy, 1402);
    EXPECT_NE(banner->Handle(), nullptr);
}

TEST_F(StartPageTest, PaintsBannerLineAndLabels) {
    Un_Start& page = ShowStartPage();
    ::RedrawWindow(page.hWnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = ::GetDC(page.hWnd());
    // The separator is grey, the background button face, the banner's left end a dark blue.
    const COLORREF line = ::GetPixel(dc, TwipsX(3000), TwipsY(3600));
    const COLORREF face = ::GetPixel(dc, TwipsX(3000), TwipsY(3400));
    const COLORREF banner = ::GetPixel(dc, 2, 2);
    ::ReleaseDC(page.hWnd(), dc);
    EXPECT_EQ(line, RGB(128, 128, 128));
    EXPECT_EQ(face, ::GetSysColor(COLOR_BTNFACE));
    EXPECT_LT(GetRValue(banner) + GetGValue(banner), 120) << std::hex << banner;
    EXPECT_GT(GetBValue(banner), GetRValue(banner));
}

TEST_F(StartPageTest, NoEndsAtOnceWithNothingChanged) {
    Un_Start& page = ShowStartPage();
    shell.answers = {IDNO};
    Click(page, 1);
    ASSERT_EQ(shell.shown.size(), 1u);
    EXPECT_EQ(shell.shown[0].text, kClosingNotice);
    EXPECT_EQ(shell.shown[0].title, L"타르닐 제거");
    EXPECT_EQ(shell.shown[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(shell.endCount, 1);
    EXPECT_EQ(FindPage<frmAutoFileDel>(), nullptr);
    EXPECT_TRUE(run.PidSetting.empty());
}

TEST_F(StartPageTest, YesReadsSettingsOpensProgressPageAndUnloadsItself) {
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"PID", L"P-77"));
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kProductKey, L"mserver", L"127.0.0.1:9"));
    Un_Start& page = ShowStartPage();
    shell.answers = {IDYES};
    Click(page, 1);
    ASSERT_TRUE(PumpUntil([] { return FindPage<frmAutoFileDel>() != nullptr; }, 10000));

    EXPECT_EQ(shell.endCount, 0);
    EXPECT_EQ(run.PidSetting, L"P-77");
    EXPECT_EQ(run.MServerSetting, L"127.0.0.1:9");
    EXPECT_EQ(FindPage<Un_Start>(), nullptr);
    frmAutoFileDel* progress = FindPage<frmAutoFileDel>();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(::IsWindowVisible(progress->hWnd()));
    EXPECT_EQ(progress->Image1->GetPicture(), Un_Start::Banner());
}

TEST_F(StartPageTest, YesWithoutProductKeyStillOpensProgressPage) {
    Un_Start& page = ShowStartPage();
    shell.answers = {IDYES};
    Click(page, 1);
    ASSERT_TRUE(PumpUntil([] { return FindPage<frmAutoFileDel>() != nullptr; }, 10000));
    EXPECT_EQ(run.PidSetting, L"Error");
    EXPECT_EQ(run.MServerSetting, L"Error");
    EXPECT_NE(FindPage<frmAutoFileDel>(), nullptr);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
}

TEST_F(StartPageTest, CancelAsksAndEndsOnYesOnly) {
    Un_Start& page = ShowStartPage();
    shell.answers = {IDNO};
    Click(page, 2);
    ASSERT_EQ(shell.shown.size(), 1u);
    EXPECT_EQ(shell.shown[0].text, L"삭제를 취소하겠습니까?");
    EXPECT_EQ(shell.shown[0].title, L"타르닐 삭제");
    EXPECT_EQ(shell.shown[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(shell.endCount, 0);
    // Unchanged: still shown, the same three buttons in the same states.
    EXPECT_EQ(FindPage<Un_Start>(), &page);
    EXPECT_TRUE(::IsWindowVisible(page.hWnd()));
    EXPECT_FALSE(page.Command1(0)->Enabled());
    EXPECT_TRUE(page.Command1(1)->Enabled());
    EXPECT_TRUE(page.Command1(2)->Enabled());

    shell.answers = {IDYES};
    Click(page, 2);
    EXPECT_EQ(shell.shown.size(), 2u);
    EXPECT_EQ(shell.endCount, 1);
}

TEST_F(StartPageTest, CloseBoxEndsWithoutQuestion) {
    ShowStartPage();
    ::SendMessageW(FindPage<Un_Start>()->hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    DispatchPendingMessages();
    EXPECT_EQ(FindPage<Un_Start>(), nullptr);
    EXPECT_TRUE(shell.shown.empty());
    EXPECT_EQ(shell.endCount, 0);
    EXPECT_EQ(shell.quitCount, 1);  // the last page went: the message loop ends
}

TEST_F(StartPageTest, SystemFolderWithoutTrailingBackslash) {
    run.SystemDir.clear();
    InitSystemPaths(run);
    wchar_t expected[MAX_PATH] = {};
    ::GetSystemDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(run.SystemDir, expected);
    ASSERT_FALSE(run.SystemDir.empty());
    EXPECT_NE(run.SystemDir.back(), L'\\');
}

TEST_F(StartPageTest, SecondInstanceIsSeen) {
    const std::wstring name = L"TaUnInstTest." + std::to_wstring(::GetCurrentProcessId());
    EXPECT_FALSE(AnotherInstanceRunning(name));
    EXPECT_TRUE(AnotherInstanceRunning(name));
}

// ---- Keyboard ------------------------------------------------------------------------------

class KeyboardTest : public StartPageTest {
protected:
    void Key(UINT vk, bool shift = false) {
        BYTE keys[256];
        ::GetKeyboardState(keys);
        const BYTE before = keys[VK_SHIFT];
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        ::SetKeyboardState(keys);
        MSG msg{::GetFocus(), WM_KEYDOWN, vk, 1, 0, {}};
        if (!TranslatePageKey(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        keys[VK_SHIFT] = before;
        ::SetKeyboardState(keys);
    }
};

TEST_F(KeyboardTest, TabMovesBetweenEnabledButtons) {
    Un_Start& page = ShowStartPage();
    ASSERT_EQ(::GetFocus(), page.Command1(1)->hWnd());
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), page.Command1(2)->hWnd());
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), page.Command1(1)->hWnd());  // "< 뒤로" is skipped
    Key(VK_TAB, true);
    EXPECT_EQ(::GetFocus(), page.Command1(2)->hWnd());
}

TEST_F(KeyboardTest, EnterPressesTheFocusedButton) {
    Un_Start& page = ShowStartPage();
    Key(VK_TAB);
    shell.answers = {IDNO};
    Key(VK_RETURN);
    ASSERT_EQ(shell.shown.size(), 1u);
    EXPECT_EQ(shell.shown[0].text, L"삭제를 취소하겠습니까?");
    EXPECT_EQ(FindPage<Un_Start>(), &page);
}

TEST_F(KeyboardTest, SpacePressesTheFocusedButton) {
    Un_Start& page = ShowStartPage();
    HWND next = page.Command1(1)->hWnd();
    shell.answers = {IDNO};
    ::PostMessageW(next, WM_KEYDOWN, VK_SPACE, 1);
    ::PostMessageW(next, WM_KEYUP, VK_SPACE, 0xC0000001);
    PumpUntil([&] { return !shell.shown.empty(); }, 2000);
    ASSERT_EQ(shell.shown.size(), 1u);
    EXPECT_EQ(shell.shown[0].text, kClosingNotice);
}

TEST_F(KeyboardTest, AltF4IsTheCloseBox) {
    Un_Start& page = ShowStartPage();
    ::PostMessageW(page.Command1(1)->hWnd(), WM_SYSKEYDOWN, VK_F4, 0x20000001);
    PumpUntil([] { return FindPage<Un_Start>() == nullptr; }, 2000);
    EXPECT_EQ(FindPage<Un_Start>(), nullptr);
    EXPECT_TRUE(shell.shown.empty());
    EXPECT_EQ(shell.quitCount, 1);
}

}  // namespace
}  // namespace ta::test
