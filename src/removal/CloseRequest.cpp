#include "removal/CloseRequest.h"

#include <algorithm>
#include <string_view>

namespace CloseRequest {
namespace {

// The input method windows the system gives every thread with windows: not the program's own.
bool IsInputMethodWindow(HWND window) {
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    return std::wstring_view(className) == L"IME" || std::wstring_view(className) == L"MSCTFIME UI";
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto& windows = *reinterpret_cast<std::unordered_map<DWORD, std::vector<HWND>>*>(parameter);
    if (IsInputMethodWindow(window)) return TRUE;
    DWORD processId = 0;
    if (::GetWindowThreadProcessId(window, &processId) && processId != 0) windows[processId].push_back(window);
    return TRUE;
}

// What the person sees of the program, and what closes it: its unowned windows, the visible
// ones first; owned windows (dialogs, palettes) go with their owner.
std::vector<HWND> MainWindows(const std::vector<HWND>& windows) {
    std::vector<HWND> visible, hidden;
    for (HWND window : windows) {
        if (::GetWindow(window, GW_OWNER)) continue;
        (::IsWindowVisible(window) ? visible : hidden).push_back(window);
    }
    return visible.empty() ? hidden : visible;
}

// Sends the message unless answerBy has passed; answers whether the window answered in time.
bool Send(HWND window, UINT message, WPARAM wParam, ULONGLONG answerBy, DWORD_PTR& answer) {
    answer = 0;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= answerBy) return false;
    const auto waitMs = static_cast<UINT>(std::min<ULONGLONG>(kAnswerWaitMs, answerBy - now));
    return ::SendMessageTimeoutW(window, message, wParam, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, waitMs, &answer) !=
           0;
}

}  // namespace

std::unordered_map<DWORD, std::vector<HWND>> TopLevelWindowsByProcess() {
    std::unordered_map<DWORD, std::vector<HWND>> windows;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool Ask(const std::vector<HWND>& windows, ULONGLONG answerBy) {
    // The session ends for the program only when every window that answered agreed; a window
    // that did not answer in time is not told either way.
    std::vector<HWND> answered;
    bool agreed = true;
    for (HWND window : windows) {
        DWORD_PTR answer = 0;
        if (!Send(window, WM_QUERYENDSESSION, 0, answerBy, answer)) continue;
        answered.push_back(window);
        agreed = agreed && answer != FALSE;
    }
    for (HWND window : answered) {
        DWORD_PTR ignored = 0;
        Send(window, WM_ENDSESSION, agreed ? TRUE : FALSE, answerBy, ignored);
    }
    // A program that saved and stayed, refused, or never answered is asked as a person asks.
    for (HWND window : MainWindows(windows)) ::PostMessageW(window, WM_CLOSE, 0, 0);
    return agreed;
}

}  // namespace CloseRequest
