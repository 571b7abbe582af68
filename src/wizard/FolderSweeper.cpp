#include "wizard/FolderSweeper.h"

#include <vector>

#include "platform/AppShell.h"
#include "platform/ChildEnvironment.h"
#include "platform/Handles.h"
#include "wizard/CommandLine.h"

namespace ta {
namespace {

bool IsPlainName(const std::wstring& name) {
    if (name.empty()) return false;
    for (const wchar_t c : name)
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-'))
            return false;
    return true;
}

// The sweeper's command: wait for the end of its input, remove the folder, and once more after
// about two seconds when something in it was still held. It runs in the folder's parent and
// names the folder by its plain name, so no path of the temporary folder goes through the command
// processor's parsing. The one program it starts, for the pause, is named by its full path in the
// system folder: the parent is a folder others may write to, where a program of the same name
// could wait.
std::wstring SweeperCommand(const std::wstring& system, const std::wstring& name) {
    return QuoteArgument(system + L"\\cmd.exe") + L" /d /q /c \"set /p ended= & rd /s /q " + name + L" & if exist " +
           name + L" (" + QuoteArgument(system + L"\\PING.EXE") + L" -n 3 127.0.0.1 >nul & rd /s /q " + name + L")\"";
}

// Starts the command with exactly the handles given as its input, output and error.
DWORD StartWithHandles(const std::wstring& program, std::wstring command, const std::wstring& folder, HANDLE input,
                       HANDLE output) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    // Only these two handles are inherited, whatever else the process holds.
    HANDLE inherited[] = {input, output};
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> attributes(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT;
    std::wstring environment = ChildEnvironment();
    if (size && ::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
        if (::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
                                        nullptr, nullptr)) {
            startup.lpAttributeList = list;
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        }
    }
    DWORD error = 0;
    PROCESS_INFORMATION started{};
    // Out of the caller's job when the job allows it: a tool that ends its job when its program
    // ends would end the sweeper too.
    for (const DWORD breakaway : {static_cast<DWORD>(CREATE_BREAKAWAY_FROM_JOB), 0ul}) {
        if (::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, flags | breakaway,
                             environment.data(), folder.c_str(), &startup.StartupInfo, &started)) {
            error = 0;
            break;
        }
        error = ::GetLastError();
    }
    if (startup.lpAttributeList) ::DeleteProcThreadAttributeList(list);
    if (error) return error;
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return 0;
}

}  // namespace

DWORD StartFolderSweeper(const std::wstring& folder, HANDLE holder) {
    const size_t slash = folder.find_last_of(L'\\');
    if (slash == std::wstring::npos || !IsPlainName(folder.substr(slash + 1))) return ERROR_INVALID_NAME;
    const std::wstring parent = folder.substr(0, slash + (slash == 2 ? 1 : 0));
    const std::wstring system = SystemFolder();
    if (system.empty()) return ERROR_PATH_NOT_FOUND;

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return ::GetLastError();
    KernelHandle input(readEnd), held(writeEnd);
    if (!::SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0)) return ::GetLastError();
    FileHandle nothing(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr));
    if (!nothing) return ::GetLastError();

    // The holder gets a copy of the input's other end; a holder that has ended already needs none.
    if (holder) {
        HANDLE copy = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), writeEnd, holder, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    }
    const std::wstring program = system + L"\\cmd.exe";
    const std::wstring name = folder.substr(slash + 1);
    if (const DWORD error = StartWithHandles(program, SweeperCommand(system, name), parent, input.get(), nothing.get()))
        return error;
    // This process's end is kept open for the rest of its life; the system closes it at the end.
    held.release();
    return 0;
}

}  // namespace ta
