#include <gtest/gtest.h>

#include <windows.h>

#include "ui/Page.h"
#include "wizard/PageWorker.h"

namespace ta {
namespace {

constexpr UINT kDone = WM_APP + 7;
int g_doneSeen = 0;

LRESULT CALLBACK CountDone(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kDone) ++g_doneSeen;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A page whose worker's "done" message never arrives (a full queue drops a posted message) still
// learns that the work has ended, from the thread itself, and the worker can be joined then.
TEST(PageWorkerTest, APageLearnsOfTheEndEvenWhenThePostedMessageIsLost) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountDone;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TaPageWorkerTest";
    ::RegisterClassW(&wc);
    HWND page = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(page, nullptr);
    g_doneSeen = 0;
    HANDLE finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        PageWorker worker;
        ASSERT_TRUE(worker.Start(page, kDone, [&] { ::SetEvent(finished); }));
        ASSERT_EQ(::WaitForSingleObject(finished, 10000), WAIT_OBJECT_0);
        // Lose the message the thread posts on its way out.
        MSG msg;
        for (int tries = 0; tries < 500 && !::PeekMessageW(&msg, page, kDone, kDone, PM_REMOVE); ++tries) ::Sleep(10);
        EXPECT_EQ(g_doneSeen, 0);
        for (int tries = 0; tries < 500 && g_doneSeen == 0; ++tries) {
            DispatchPendingMessages();
            ::Sleep(10);
        }
        EXPECT_EQ(g_doneSeen, 1);
        EXPECT_TRUE(worker.Running());  // not joined yet: the page does that when told
        worker.Join();
        EXPECT_FALSE(worker.Running());
        DispatchPendingMessages();
        EXPECT_EQ(g_doneSeen, 1);  // told once
    }
    ::CloseHandle(finished);
    ::DestroyWindow(page);
}

}  // namespace
}  // namespace ta
