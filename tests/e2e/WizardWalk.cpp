// ta_wizard_walk.exe: walks the uninstaller's wizard from outside, as a person would, and saves
// screenshots of what the person sees.
//
//   ta_wizard_walk UNINSTALLER [--shots UNIX-DIR] [--watch] [--timeout SECONDS]
//
// Starts UNINSTALLER, presses "다음 >" on the start page, answers the closing notice with Yes,
// lets the progress page remove the product, presses "완료" on the finish page and waits for the
// program to end. With --watch it presses nothing and waits for a person to do it. With --shots it
// saves PNG screenshots of the X display into UNIX-DIR, a Unix path (ImageMagick's import): the start page, the
// closing notice, the progress page, the progress page part-way, the finish page. The part-way
// shot is taken while the product's browser helper holds the removal (see the installation's
// BrowserHelper.cpp): the install folder is emptied then and the system folder not yet.
// Exits 0 when the program ran to its end, 1 at the first step that did not come.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../fixtures/installation/InstallationNames.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace {

constexpr wchar_t kCaption[] = L"타르닐-제거";

struct Options {
    std::wstring program;
    std::wstring shots;
    bool watch = false;
    DWORD timeoutMs = 90000;
};

void Say(const std::wstring& text) {
    const std::string bytes = ta::ToUtf8(text + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

struct Search {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && ::IsWindowVisible(hwnd)) search->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectChildren(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

HWND ButtonOf(HWND page, const std::wstring& caption) {
    std::vector<HWND> children;
    ::EnumChildWindows(page, CollectChildren, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (TextOf(child) == caption && ::IsWindowVisible(child)) return child;
    }
    return nullptr;
}

// The program's visible message box.
HWND FindMessageBox(DWORD pid) {
    Search search{pid, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND hwnd : search.found) {
        if (ClassOf(hwnd) == L"#32770") return hwnd;
    }
    return nullptr;
}

// The page that shows a button with the caption (and none with the caption "unlike", if given).
HWND FindPage(DWORD pid, const std::wstring& button, const std::wstring& unlike = L"") {
    Search search{pid, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND hwnd : search.found) {
        if (TextOf(hwnd) == kCaption && ClassOf(hwnd) != L"#32770" && ButtonOf(hwnd, button) &&
            (unlike.empty() || !ButtonOf(hwnd, unlike))) {
            return hwnd;
        }
    }
    return nullptr;
}

class Walk {
public:
    explicit Walk(const Options& options) : options_(options) {}

    int Run();

private:
    template <typename Probe>
    HWND WaitFor(const std::wstring& what, Probe probe) {
        const ULONGLONG until = ::GetTickCount64() + options_.timeoutMs;
        while (::GetTickCount64() < until) {
            if (HWND hwnd = probe()) return hwnd;
            if (::WaitForSingleObject(process_.get(), 100) == WAIT_OBJECT_0) break;
        }
        Say(L"walk: no " + what);
        return nullptr;
    }

    // A screenshot once the page's thread has come back to its messages and painted; a page whose
    // thread is held (nullptr) is taken as it stands.
    void Shot(const std::wstring& name, HWND page) {
        if (options_.shots.empty()) return;
        DWORD_PTR ignored = 0;
        if (page) ::SendMessageTimeoutW(page, WM_NULL, 0, 0, SMTO_BLOCK, 15000, &ignored);
        ::Sleep(700);
        const std::wstring png = options_.shots + L"/" + name + L".png";
        // The Wine desktop only, not the whole X screen around it.
        RECT desktop{};
        ::GetWindowRect(::GetDesktopWindow(), &desktop);
        std::wstring command = L"Z:\\usr\\bin\\import -window root -crop " +
                               std::to_wstring(desktop.right - desktop.left) + L"x" +
                               std::to_wstring(desktop.bottom - desktop.top) + L"+0+0 +repage \"" + png + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            Say(L"walk: cannot take the screenshot " + png);
            return;
        }
        ta::KernelHandle process(info.hProcess), thread(info.hThread);
        ::WaitForSingleObject(process.get(), 30000);  // a Unix program's exit code does not come through
        Say(L"walk: screenshot " + png);
    }

    void Press(HWND page, const std::wstring& caption) {
        if (options_.watch) return;
        if (HWND button = ButtonOf(page, caption)) ::PostMessageW(button, BM_CLICK, 0, 0);
        Say(L"walk: pressed " + caption);
    }

    const Options& options_;
    ta::KernelHandle process_;
    DWORD pid_ = 0;
};

int Walk::Run() {
    // Events through which the product's browser helper holds the removal part-way.
    ta::KernelHandle reached(::CreateEventW(nullptr, TRUE, FALSE, tarnil::kPartWayReached));
    ta::KernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, tarnil::kPartWayRelease));
    if (options_.shots.empty()) {
        reached.reset();
        release.reset();
    }

    std::wstring commandLine = L"\"" + options_.program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(options_.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        Say(L"walk: cannot start " + options_.program);
        return 1;
    }
    process_.reset(info.hProcess);
    ta::KernelHandle thread(info.hThread);
    pid_ = info.dwProcessId;
    Say(L"walk: started " + options_.program + (options_.watch ? L"; waiting for you to click through it" : L""));

    HWND start = WaitFor(L"start page", [&] { return FindPage(pid_, L"다음 >"); });
    if (!start) return 1;
    Shot(L"1-start-page", start);
    Press(start, L"다음 >");

    HWND notice = WaitFor(L"closing notice", [&] { return FindMessageBox(pid_); });
    if (!notice) return 1;
    Shot(L"2-closing-notice", notice);
    if (!options_.watch) {
        ::PostMessageW(::GetDlgItem(notice, IDYES), BM_CLICK, 0, 0);
        Say(L"walk: answered Yes");
    }

    HWND progress = WaitFor(L"progress page", [&] { return FindPage(pid_, L"취소", L"다음 >"); });
    if (!progress) return 1;
    Shot(L"3-progress-page", nullptr);  // its removal may already hold the thread
    if (reached) {
        // The hold comes while the progress page works; a removal that never unregisters the
        // browser helper goes on to the finish page without it.
        HWND seen = WaitFor(L"removal part-way", [&]() -> HWND {
            if (::WaitForSingleObject(reached.get(), 0) == WAIT_OBJECT_0) return progress;
            return FindPage(pid_, L"완료");
        });
        if (seen == progress) Shot(L"4-progress-part-way", nullptr);
        else Say(L"walk: the removal went to its end without the part-way hold");
        ::SetEvent(release.get());
    }

    HWND finish = WaitFor(L"finish page", [&] { return FindPage(pid_, L"완료"); });
    if (!finish) return 1;
    Shot(L"5-finish-page", finish);
    Press(finish, L"완료");

    if (::WaitForSingleObject(process_.get(), options_.timeoutMs) != WAIT_OBJECT_0) {
        Say(L"walk: the program did not end");
        return 1;
    }
    Say(L"walk: the program ended");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--shots" && i + 1 < argc) options.shots = argv[++i];
        else if (arg == L"--watch") options.watch = true;
        else if (arg == L"--timeout" && i + 1 < argc) options.timeoutMs = std::wcstoul(argv[++i], nullptr, 10) * 1000;
        else if (options.program.empty()) options.program = arg;
        else {
            options.program.clear();  // one program only
            break;
        }
    }
    if (options.program.empty()) {
        std::fputs("usage: ta_wizard_walk UNINSTALLER [--shots DIR] [--watch] [--timeout SECONDS]\n", stderr);
        return 2;
    }
    if (options.watch) options.timeoutMs = 3600 * 1000;
    return Walk(options).Run();
}
