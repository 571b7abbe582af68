#include "platform/AppShell.h"

#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include <vector>

#include "platform/Account.h"
#include "platform/Handles.h"
#include "platform/Privileges.h"

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

std::vector<std::wstring> CommandLineArguments(const std::wstring& commandLine) {
    std::vector<std::wstring> split;
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
    if (!argv) return split;
    for (int i = 1; i < count; ++i) split.emplace_back(argv[i]);
    ::LocalFree(argv);
    return split;
}

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

namespace {

enum class NameHolder { Us, TrustedRun, Somebody };

// Claims the name, or says who holds it; owner names a holder that is not trusted.
NameHolder ClaimName(const std::wstring& name, const TrustedAccounts& trusted, std::wstring& owner) {
    // Owned by this account, as the system would not always say otherwise, and open to the
    // trusted only; anyone may read who owns it.
    const std::wstring selfText = RunningAccountSidText();
    const std::wstring sddl = (selfText.empty() ? std::wstring() : L"O:" + selfText) + L"D:P(A;;GA;;;SY)(A;;GA;;;BA)" +
                              (selfText.empty() ? std::wstring() : L"(A;;GA;;;" + selfText + L")") + L"(A;;0x120000;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr);
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    // The mutex stays open until the process ends, also when the name was claimed already: a
    // private copy that a run was handed to keeps the instance when its original is gone.
    const HANDLE mutex = ::CreateMutexW(descriptor ? &security : nullptr, FALSE, name.c_str());
    const DWORD status = ::GetLastError();
    ::LocalFree(descriptor);
    if (mutex && status != ERROR_ALREADY_EXISTS) return NameHolder::Us;
    KernelHandle look(mutex ? nullptr : ::OpenMutexW(READ_CONTROL, FALSE, name.c_str()));
    const HANDLE held = mutex ? mutex : look.get();
    PSID holder = nullptr;
    PSECURITY_DESCRIPTOR read = nullptr;
    if (held && ::GetSecurityInfo(held, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &holder, nullptr, nullptr, nullptr,
                                  &read) == ERROR_SUCCESS &&
        trusted.Trusts(holder)) {
        ::LocalFree(read);
        return NameHolder::TrustedRun;
    }
    owner = holder ? SidText(holder) : std::wstring(L"nobody");
    if (owner.empty()) owner = L"nobody";
    ::LocalFree(read);
    if (mutex) ::CloseHandle(mutex);
    return NameHolder::Somebody;
}

}  // namespace

bool AnotherInstanceRunning(const std::wstring& name, std::wstring* passedOver) {
    // One name for the whole machine: a run in another session (a deployment tool's, as the local
    // system account) is as much a run as one in this session.
    const TrustedAccounts trusted;
    std::wstring claim = L"Global\\" + name + L".Instance";
    // A few names deep: whoever takes every one of them still blocks nothing.
    for (int depth = 0; depth < 4; ++depth) {
        std::wstring owner;
        switch (ClaimName(claim, trusted, owner)) {
        case NameHolder::Us: return false;
        case NameHolder::TrustedRun: return true;
        case NameHolder::Somebody:
            if (passedOver) *passedOver += (passedOver->empty() ? L"" : L", ") + claim + L" (owned by " + owner + L")";
            claim += L"." + owner;
            break;
        }
    }
    return false;
}

}  // namespace ta
