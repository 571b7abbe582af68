#include "platform/AppShell.h"

#include "platform/Privileges.h"

#include <vector>

namespace ta {
namespace {

AppShell g_realShell;
AppShell* g_shell = &g_realShell;

}  // namespace

int AppShell::ShowMessage(HWND owner, const std::wstring& text, const std::wstring& title, UINT flags) {
    return ::MessageBoxW(owner, text.c_str(), title.c_str(), flags);
}

void AppShell::EndProgram(int exitCode) { ::ExitProcess(static_cast<UINT>(exitCode)); }

void AppShell::QuitMessageLoop() { ::PostQuitMessage(0); }

DWORD AppShell::RestartSystem() {
    // Without the privilege the system refuses, and says why.
    EnablePrivilege(SE_SHUTDOWN_NAME);
    constexpr DWORD kReason = SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_INSTALLATION | SHTDN_REASON_FLAG_PLANNED;
    return ::ExitWindowsEx(EWX_REBOOT, kReason) ? ERROR_SUCCESS : ::GetLastError();
}

AppShell& Shell() { return *g_shell; }

AppShell* SetShell(AppShell* shell) noexcept {
    AppShell* previous = g_shell;
    g_shell = shell ? shell : &g_realShell;
    return previous;
}

std::wstring ExePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring ExeFolder() {
    const std::wstring path = ExePath();
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring ExeName() {
    const std::wstring path = ExePath();
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

std::wstring SystemFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const UINT n = ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

std::wstring TemporaryFolder() {
    using GetTempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);
    const auto getTempPath2 = reinterpret_cast<GetTempPath2Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = getTempPath2 ? getTempPath2(MAX_PATH + 1, buffer) : ::GetTempPathW(MAX_PATH + 1, buffer);
    return n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

std::wstring ProgramTitle() { return L"TaUnInst"; }

bool AnotherInstanceRunning(const std::wstring& name) {
    // One name for the whole machine: a run in another session (a deployment tool's, as the local
    // system account) is as much a run as one in this session. The mutex stays open until the
    // process ends, also when the name was claimed already: a private copy that a run was handed
    // to keeps the instance when its original is gone.
    const std::wstring mutexName = L"Global\\" + name + L".Instance";
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName.c_str());
    const DWORD status = ::GetLastError();
    // Refused access to the name: another account's run holds it.
    return status == ERROR_ALREADY_EXISTS || (!mutex && status == ERROR_ACCESS_DENIED);
}

}  // namespace ta
