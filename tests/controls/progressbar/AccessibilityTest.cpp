// The bar as an assistive tool reads it, through the calls such a tool makes: the accessible
// object of the window's client area, its role and value, and the value-change event.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>

#include "controls/progressbar/BarTestSupport.h"
#include "controls/progressbar/ucProgressBar.h"
#include "platform/ComPtr.h"

namespace ta {
namespace {

HWND g_watched = nullptr;
int g_valueEvents = 0;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    if (event == EVENT_OBJECT_VALUECHANGE && hwnd == g_watched && object == OBJID_CLIENT && child == CHILDID_SELF)
        ++g_valueEvents;
}

void PumpMessages() {
    MSG msg;
    for (int i = 0; i < 5; ++i) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(10);
    }
}

ComPtr<IAccessible> AccessibleOf(HWND hwnd) {
    ComPtr<IAccessible> accessible;
    ::AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible), accessible.put_void());
    return accessible;
}

std::wstring ValueOf(IAccessible* accessible) {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    Bstr value;
    accessible->get_accValue(self, value.put());
    return value.str();
}

TEST(BarAccessibility, ReadsAsAProgressIndicatorWhoseValueFollowsTheBar) {
    test::HostWindow page;
    ucProgressBar bar;
    ASSERT_TRUE(bar.Create(page.get(), 10, 20, 425, 25, 1));
    ASSERT_TRUE(bar.ReadStoredProperties(L"frmAutoFileDel", L"ucProgressBar1"));
    bar.Max(200);
    g_watched = bar.hWnd();
    g_valueEvents = 0;
    HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, OnWinEvent,
                                           ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);

    ComPtr<IAccessible> accessible = AccessibleOf(bar.hWnd());
    ASSERT_TRUE(accessible);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{};
    ASSERT_EQ(accessible->get_accRole(self, &role), S_OK);
    EXPECT_EQ(role.vt, VT_I4);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_PROGRESSBAR);
    EXPECT_EQ(ValueOf(accessible.get()), L"0%");

    // Where it is comes from the window, as for any control.
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(accessible->accLocation(&left, &top, &width, &height, self), S_OK);
    RECT rc{};
    ::GetWindowRect(bar.hWnd(), &rc);
    EXPECT_EQ(left, rc.left);
    EXPECT_EQ(top, rc.top);
    EXPECT_EQ(width, 425);
    EXPECT_EQ(height, 25);

    // The value follows every assignment; a tool hears of it when the share read changes.
    bar.Value(58);
    EXPECT_EQ(ValueOf(accessible.get()), L"29%");
    PumpMessages();
    const int afterFirstMove = g_valueEvents;
    bar.Value(59);  // still 29 %
    PumpMessages();
    bar.Value(1000);  // past the end: full
    EXPECT_EQ(ValueOf(accessible.get()), L"100%");
    PumpMessages();
    EXPECT_EQ(afterFirstMove, 1);
    EXPECT_EQ(g_valueEvents, 2);
    ::UnhookWinEvent(hook);
    g_watched = nullptr;
}

TEST(BarAccessibility, AnObjectHeldPastTheControlAnswersDisconnected) {
    ComPtr<IAccessible> accessible;
    {
        test::HostWindow page;
        ucProgressBar bar;
        ASSERT_TRUE(bar.Create(page.get(), 0, 0, 425, 25, 1));
        accessible = AccessibleOf(bar.hWnd());
        ASSERT_TRUE(accessible);
    }
    // A tool may keep the object after the page has gone; it must not reach the freed control.
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    Bstr value;
    EXPECT_EQ(accessible->get_accValue(self, value.put()), CO_E_OBJNOTCONNECTED);
    long left = 0, top = 0, width = 0, height = 0;
    EXPECT_EQ(accessible->accLocation(&left, &top, &width, &height, self), CO_E_OBJNOTCONNECTED);
}

}  // namespace
}  // namespace ta
