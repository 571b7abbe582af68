// ProKill: the process list walk shared by the search and the termination.
#include "removal/ProKill.h"

#include <windows.h>
#include <tlhelp32.h>

#include "platform/Handles.h"
#include "platform/RemovalRecord.h"
#include "platform/Text.h"

namespace ProKill {
namespace {

// Processes Windows cannot run without: whatever a damaged list names, they are never ended.
const wchar_t* const kSystemProcesses[] = {L"smss.exe",    L"csrss.exe", L"wininit.exe",
                                           L"winlogon.exe", L"services.exe", L"lsass.exe"};

bool IsSystemProcess(std::wstring_view exeName) {
    const std::wstring_view file = exeName.substr(exeName.find_last_of(L"\\/") + 1);
    for (const wchar_t* name : kSystemProcesses)
        if (ta::EndsWithNoCase(file, name) && file.size() == std::wstring_view(name).size()) return true;
    return false;
}

// Calls visit(processId) for every process whose executable name matches name, in the order
// the system lists them, until visit answers false. Answers false when no list could be taken.
template <typename Visit>
bool ForEachMatch(const std::wstring& name, Visit visit, bool sparesSystem = false) {
    ta::KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        // The name field is fixed-size; the text counts up to its first NUL.
        const std::wstring_view field(entry.szExeFile, std::size(entry.szExeFile));
        const std::wstring_view exeName = field.substr(0, field.find(L'\0'));
        if (!NameMatches(exeName, name)) continue;
        if (sparesSystem && IsSystemProcess(exeName)) {
            ta::RecordKept(ta::ItemKind::Process, std::wstring(exeName), ta::KeptBy::Guard);
            continue;
        }
        if (!visit(entry.th32ProcessID)) break;
    }
    return true;
}

// Ends the process; answers the system's status.
DWORD Terminate(DWORD processId) {
    ta::KernelHandle process(::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process) return ::GetLastError();
    DWORD exitCode = STILL_ACTIVE;
    ::GetExitCodeProcess(process.get(), &exitCode);
    return ::TerminateProcess(process.get(), exitCode) ? ERROR_SUCCESS : ::GetLastError();
}

}  // namespace

bool NameMatches(std::wstring_view exeName, std::wstring_view name) {
    return ta::EndsWithNoCase(exeName, name);
}

bool KillProcessByName(const std::wstring& name) {
    // A listed name can end like our own executable's; the uninstaller must outlive its own run.
    const DWORD self = ::GetCurrentProcessId();
    bool ended = false;
    const bool listed = ForEachMatch(name, [&](DWORD processId) {
        if (processId != self) {
            ta::RecordStatus(ta::ItemKind::Process, name + L" (" + std::to_wstring(processId) + L")",
                             Terminate(processId));
            ended = true;
        }
        return true;
    }, true);
    if (listed && !ended) ta::Record(ta::ItemKind::Process, name, ta::Outcome::Absent);
    return listed;
}

bool ProcessNotRunning(const std::wstring& name) {
    bool found = false;
    ForEachMatch(name, [&found](DWORD) {
        found = true;
        return false;
    });
    return !found;
}

}  // namespace ProKill
