// ProKill: the process list walk shared by the search and the shutdown.
#include "removal/ProKill.h"

#include <tlhelp32.h>

#include <algorithm>

#include "platform/RemovalRecord.h"
#include "platform/Text.h"
#include "removal/CloseRequest.h"

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

// Calls visit(processId, listedAt) for every process whose executable name matches name, in the
// order the system lists them, until visit answers false; listedAt is when the list was taken.
// Answers false when no list could be taken.
template <typename Visit>
bool ForEachMatch(const std::wstring& name, Visit visit, bool sparesSystem = false) {
    ta::KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    // Every process of the list was created before this moment.
    FILETIME listedAt{};
    ::GetSystemTimeAsFileTime(&listedAt);
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
        if (!visit(entry.th32ProcessID, listedAt)) break;
    }
    return true;
}

// The exit code of a process this program ends: a failure, and never STILL_ACTIVE (259), which
// whoever polls the code would take for a process still running.
constexpr UINT kEndedExitCode = 1;

// Ends the process; answers the system's status.
DWORD Terminate(HANDLE process) {
    return ::TerminateProcess(process, kEndedExitCode) ? ERROR_SUCCESS : ::GetLastError();
}

bool HasEnded(HANDLE process, DWORD waitMs = 0) { return ::WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0; }

}  // namespace

bool NameMatches(std::wstring_view exeName, std::wstring_view name) {
    return ta::EndsWithNoCase(exeName, name);
}

bool IsTheProcessListed(HANDLE process, std::wstring_view name, const FILETIME& listedAt) {
    wchar_t image[MAX_PATH * 2];
    DWORD size = static_cast<DWORD>(std::size(image));
    if (!::QueryFullProcessImageNameW(process, 0, image, &size) || !NameMatches(std::wstring_view(image, size), name))
        return false;
    FILETIME created{}, exited{}, kernel{}, user{};
    return ::GetProcessTimes(process, &created, &exited, &kernel, &user) && ::CompareFileTime(&created, &listedAt) <= 0;
}

ShutdownRound::ShutdownRound(ULONGLONG deadline)
    : deadline_(deadline ? deadline : ::GetTickCount64() + kRoundBoundMs) {}

ShutdownRound::~ShutdownRound() { Finish(); }

bool ShutdownRound::Stop(const std::wstring& name) {
    // A listed name can end like our own executable's; the uninstaller must outlive its own run.
    const DWORD self = ::GetCurrentProcessId();
    const auto windows = CloseRequest::TopLevelWindowsByProcess();
    bool matched = false;
    const bool listed = ForEachMatch(name, [&](DWORD processId, const FILETIME& listedAt) {
        if (processId == self) return true;
        matched = true;
        // Named twice in one round: it is already being asked.
        if (std::any_of(asked_.begin(), asked_.end(), [&](const Asked& a) { return a.processId == processId; }))
            return true;
        const std::wstring item = name + L" (" + std::to_wstring(processId) + L")";
        ta::KernelHandle process(
            ::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId));
        if (!process) {
            ta::RecordStatus(ta::ItemKind::Process, item, ::GetLastError());
            return true;
        }
        // The list was taken a while ago (earlier programs were asked meanwhile): the number may
        // name another program by now, which is not ours to end.
        if (!IsTheProcessListed(process.get(), name, listedAt)) {
            ta::Record(ta::ItemKind::Process, item, ta::Outcome::Absent, 0, ta::KeptBy::None,
                       L"ended before it was stopped; its number names another process now");
            return true;
        }
        const auto found = windows.find(processId);
        if (found == windows.end()) {
            ta::RecordStatus(ta::ItemKind::Process, item, Terminate(process.get()), ta::Outcome::Ended);
            return true;
        }
        CloseRequest::Ask(found->second, deadline_);
        waitUntil_ = std::min(::GetTickCount64() + kCloseWaitMs, deadline_);
        asked_.push_back({processId, item, std::move(process), ta::StepScope::Current()});
        return true;
    }, true);
    if (listed && !matched) ta::Record(ta::ItemKind::Process, name, ta::Outcome::Absent);
    return listed;
}

void ShutdownRound::Finish() {
    // All of them had their request before the first wait began; each waits only what is left.
    for (Asked& asked : asked_) {
        ta::StepScope scope(asked.step);
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = waitUntil_ > now ? static_cast<DWORD>(waitUntil_ - now) : 0;
        if (HasEnded(asked.process.get(), left)) {
            ta::Record(ta::ItemKind::Process, asked.item, ta::Outcome::Closed);
            continue;
        }
        const DWORD status = Terminate(asked.process.get());
        // It may have closed between the look and the termination.
        if (status != ERROR_SUCCESS && HasEnded(asked.process.get()))
            ta::Record(ta::ItemKind::Process, asked.item, ta::Outcome::Closed);
        else if (status == ERROR_SUCCESS)
            ta::Record(ta::ItemKind::Process, asked.item, ta::Outcome::Ended, 0, ta::KeptBy::None,
                       L"still running when asked to close");
        else
            ta::RecordStatus(ta::ItemKind::Process, asked.item, status);
    }
    asked_.clear();
}

bool KillProcessByName(const std::wstring& name) {
    ShutdownRound round;
    const bool listed = round.Stop(name);
    round.Finish();
    return listed;
}

bool ProcessNotRunning(const std::wstring& name) {
    bool found = false;
    ForEachMatch(name, [&found](DWORD, const FILETIME&) {
        found = true;
        return false;
    });
    return !found;
}

}  // namespace ProKill
