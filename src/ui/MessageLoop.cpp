#include "ui/MessageLoop.h"

#include "ui/HandleWatch.h"
#include "ui/Page.h"

namespace ta {

bool TranslatePageKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !msg.hwnd) return false;
    HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    Page* page = Page::FromWindow(root);
    if (!page) return false;
    if (msg.wParam == VK_TAB) {
        if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
        const bool backwards = ::GetKeyState(VK_SHIFT) < 0;
        HWND focus = ::GetFocus();
        if (HWND next = ::GetNextDlgTabItem(root, ::IsChild(root, focus) ? focus : nullptr, backwards ? TRUE : FALSE))
            ::SetFocus(next);
        return true;
    }
    if (msg.wParam == VK_RETURN) {
        HWND focus = ::GetFocus();
        if (!focus || ::GetParent(focus) != root || !::IsWindowEnabled(focus)) return false;
        const int id = ::GetDlgCtrlID(focus);
        if (!page->Command1(id - kCommand1BaseId)) return false;
        ::SendMessageW(root, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(focus));
        return true;
    }
    return false;
}

int RunMessageLoop() {
    // Messages and the watched handles together, so that a page learns of its worker's end
    // from the worker itself.
    for (;;) {
        RunSignalledWatches();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            if (TranslatePageKey(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        RunSignalledWatches();
        WaitForMessageOrWatch();
    }
}

void DispatchPendingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        if (TranslatePageKey(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    RunSignalledWatches();
}

}  // namespace ta
