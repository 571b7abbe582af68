#include "e2e/WizardDriver.h"

#include <algorithm>

#include "platform/AppShell.h"
#include "platform/Text.h"
#include "support/WinePaths.h"

namespace ta::e2e {
namespace {

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectProcessWindows(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && ::IsWindowVisible(hwnd)) search->found.push_back(hwnd);
    return TRUE;
}

static BOOL CALLBACK CollectChildren(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return name;
}

template <typename Match>
HWND WaitForWindow(DWORD pid, DWORD timeoutMs, Match match) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        WindowSearch search{pid, {}};
        ::EnumWindows(CollectProcessWindows, reinterpret_cast<LPARAM>(&search));
        for (HWND hwnd : search.found)
            if (match(hwnd)) return hwnd;
        if (::GetTickCount() - start >= timeoutMs) return nullptr;
        ::Sleep(20);
    }
}

// Runs a program and waits for it; answers false when it could not start or did not end in time.
// (A Unix program's exit code and handle do not come back through Wine.)
bool RunAndWait(std::wstring commandLine, DWORD timeoutMs) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    KernelHandle process(pi.hProcess), thread(pi.hThread);
    // A Unix program may come back without a handle to wait on; the caller then waits for its work.
    return ::WaitForSingleObject(process.get(), timeoutMs) != WAIT_TIMEOUT;
}

// True when the file holds a whole PNG: it ends with the IEND chunk.
bool IsCompletePng(const std::wstring& path) {
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 12) return false;
    LARGE_INTEGER tail{};
    tail.QuadPart = size.QuadPart - 8;
    char end[8] = {};
    DWORD read = 0;
    return ::SetFilePointerEx(file.get(), tail, nullptr, FILE_BEGIN) && ::ReadFile(file.get(), end, 8, &read, nullptr) &&
           read == 8 && std::string(end, 4) == "IEND";
}

}  // namespace

Uninstaller::Uninstaller(const std::wstring& arguments, bool waitForInput, const std::wstring& program) {
    const std::wstring path = program.empty() ? ExeFolder() + L"\\TaUnInst.exe" : program;
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        process_.reset(pi.hProcess);
        ::CloseHandle(pi.hThread);
        pid_ = pi.dwProcessId;
        if (waitForInput) ::WaitForInputIdle(pi.hProcess, 10000);
    }
}

Uninstaller::~Uninstaller() {
    if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.get(), 1);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

DWORD Uninstaller::WaitForExit(DWORD timeoutMs) {
    if (!process_ || ::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::vector<HWND> Uninstaller::Windows() const {
    WindowSearch search{pid_, {}};
    ::EnumWindows(CollectProcessWindows, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    return text;
}

HWND FindChild(HWND parent, const std::wstring& text) {
    for (HWND child : ChildrenOf(parent))
        if (TextOf(child) == text) return child;
    return nullptr;
}

std::vector<std::wstring> StaticTexts(HWND parent) {
    std::vector<std::wstring> texts;
    for (HWND child : ChildrenOf(parent))
        if (EndsWithNoCase(ClassOf(child), L"Static")) texts.push_back(TextOf(child));
    return texts;
}

HWND WaitForPage(DWORD pid, const std::wstring& button, DWORD timeoutMs) {
    return WaitForWindow(pid, timeoutMs, [&](HWND hwnd) {
        if (ClassOf(hwnd) == L"#32770" || TextOf(hwnd) != L"타르닐-제거") return false;
        if (button.empty()) return true;
        // The progress page is the one whose only button is "취소".
        if (button == L"취소") return FindChild(hwnd, button) && !FindChild(hwnd, L"다음 >") && !FindChild(hwnd, L"완료");
        return FindChild(hwnd, button) != nullptr;
    });
}

HWND WaitForMessageBox(DWORD pid, const std::wstring& title, DWORD timeoutMs) {
    return WaitForWindow(pid, timeoutMs,
                         [&](HWND hwnd) { return ClassOf(hwnd) == L"#32770" && TextOf(hwnd) == title; });
}

void Press(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

std::wstring ScreenshotFolder() { return ExeFolder() + L"\\screenshots"; }

bool Screenshot(HWND window, const std::wstring& name) {
    ::CreateDirectoryW(ScreenshotFolder().c_str(), nullptr);
    const std::wstring file = ScreenshotFolder() + L"\\" + name + L".png";
    ::DeleteFileW(file.c_str());
    const std::string target = ta::test::UnixPath(file);
    if (target.empty()) return false;
    std::wstring command = L"Z:\\usr\\bin\\import -window root";
    {
        // The window and a margin around it, title bar included; or the whole desktop.
        const int kMargin = window ? 12 : 0;
        if (!window) window = ::GetDesktopWindow();
        RECT rc{};
        ::GetWindowRect(window, &rc);
        const int left = std::max<int>(0, rc.left - kMargin), top = std::max<int>(0, rc.top - kMargin);
        command += L" -crop " + std::to_wstring(rc.right - rc.left + 2 * kMargin) + L"x" +
                   std::to_wstring(rc.bottom - rc.top + 2 * kMargin) + L"+" + std::to_wstring(left) + L"+" +
                   std::to_wstring(top) + L" +repage";
    }
    command += L" \"" + FromUtf8(target) + L"\"";
    if (!RunAndWait(command, 20000)) return false;
    // Wine may answer before the Unix program has written its file: wait for a complete PNG.
    for (int waited = 0; waited < 20000; waited += 50) {
        if (IsCompletePng(file)) return true;
        ::Sleep(50);
    }
    return false;
}

}  // namespace ta::e2e
