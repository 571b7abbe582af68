// ProKill: the process list walk shared by the search and the shutdown.
#include "removal/ProKill.h"

#include <tlhelp32.h>

#include <algorithm>

#include "platform/Text.h"
#include "record/RemovalRecord.h"
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

// What a walk does with the processes Windows cannot run without.
enum class Spare { No, AndRecord, Quietly };

// Calls visit(processId, listedAt) for every process whose executable name matches name, in the
// order the system lists them, until visit answers false; listedAt is when the list was taken.
// Answers false when no list could be taken.
template <typename Visit>
bool ForEachMatch(const std::wstring& name, Visit visit, Spare spare = Spare::No) {
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
        if (spare != Spare::No && IsSystemProcess(exeName)) {
            if (spare == Spare::AndRecord)
                ta::RecordKept(ta::ItemKind::Process, std::wstring(exeName), ta::KeptBy::Guard);
            continue;
        }
        if (!visit(entry.th32ProcessID, listedAt)) break;
    }
    return true;
}

std::wstring ItemOf(const std::wstring& name, DWORD processId) {
    return name + L" (" + std::to_wstring(processId) + L")";
}

// Opens the listed process for stopping. Empty when it cannot be opened (error says why) or when
// its number names another program by now (error 0): the list was taken a while ago, and the
// other program is not ours to end.
ta::KernelHandle OpenListed(DWORD processId, std::wstring_view name, const FILETIME& listedAt, DWORD& error) {
    ta::KernelHandle process(::OpenProcess(
        PROCESS_TERMINATE | PROCESS_SUSPEND_RESUME | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId));
    error = process ? ERROR_SUCCESS : ::GetLastError();
    if (process && !IsTheProcessListed(process.get(), name, listedAt)) process.reset();
    return process;
}

// Stops every thread of the process where it is, so that it can react to nothing (another's end
// among it) until it is ended. The ending follows whether or not this worked.
void Suspend(HANDLE process) {
    using NtSuspendProcessFn = LONG(NTAPI*)(HANDLE);
    static const auto suspend = reinterpret_cast<NtSuspendProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtSuspendProcess")));
    if (suspend) suspend(process);
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

// A round whose step broke off before it finished still ends what it asked to close.
ShutdownRound::~ShutdownRound() {
    if (!asked_.empty()) Finish();
}

bool ShutdownRound::Stop(const std::wstring& name) {
    if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(name);
    // A listed name can end like our own executable's; the uninstaller must outlive its own run.
    const DWORD self = ::GetCurrentProcessId();
    const auto windows = CloseRequest::TopLevelWindowsByProcess();
    bool matched = false;
    const bool listed = ForEachMatch(name, [&](DWORD processId, const FILETIME& listedAt) {
        if (processId == self) return true;
        matched = true;
        lastStopAt_ = ::GetTickCount64();
        // Named twice in one round: it is already being asked.
        if (std::any_of(asked_.begin(), asked_.end(), [&](const Asked& a) { return a.processId == processId; }))
            return true;
        std::wstring item = ItemOf(name, processId);
        DWORD error = ERROR_SUCCESS;
        ta::KernelHandle process = OpenListed(processId, name, listedAt, error);
        if (error != ERROR_SUCCESS) {
            ta::RecordStatus(ta::ItemKind::Process, item, error);
            return true;
        }
        if (!process) {
            ta::Record(ta::ItemKind::Process, item, ta::Outcome::Absent, 0, ta::KeptBy::None,
                       L"ended before it was stopped; its number names another process now");
            return true;
        }
        const auto found = windows.find(processId);
        if (found == windows.end())
            ta::RecordStatus(ta::ItemKind::Process, item, Terminate(process.get()), ta::Outcome::Ended);
        else
            AskToClose(processId, std::move(item), std::move(process), found->second);
        return true;
    }, Spare::AndRecord);
    if (listed && !matched) ta::Record(ta::ItemKind::Process, name, ta::Outcome::Absent);
    return listed;
}

void ShutdownRound::AskToClose(DWORD processId, std::wstring item, ta::KernelHandle process,
                               const std::vector<HWND>& windows) {
    CloseRequest::Ask(windows, deadline_);
    waitUntil_ = std::min(::GetTickCount64() + kCloseWaitMs, deadline_);
    asked_.push_back({processId, std::move(item), std::move(process), ta::StepScope::Current()});
}

void ShutdownRound::Finish() {
    // All of them had their request before the first wait began; each waits only what is left.
    std::vector<Asked*> staying;
    for (Asked& asked : asked_) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = waitUntil_ > now ? static_cast<DWORD>(waitUntil_ - now) : 0;
        if (!HasEnded(asked.process.get(), left)) {
            staying.push_back(&asked);
            continue;
        }
        ta::StepScope scope(asked.step);
        ta::Record(ta::ItemKind::Process, asked.item, ta::Outcome::Closed);
    }
    // Those that stayed go together: none is left running to start another again meanwhile.
    for (Asked* asked : staying) Suspend(asked->process.get());
    for (Asked* asked : staying) {
        ta::StepScope scope(asked->step);
        const DWORD status = Terminate(asked->process.get());
        // It may have closed between the look and the termination.
        if (status != ERROR_SUCCESS && HasEnded(asked->process.get()))
            ta::Record(ta::ItemKind::Process, asked->item, ta::Outcome::Closed);
        else if (status == ERROR_SUCCESS)
            ta::Record(ta::ItemKind::Process, asked->item, ta::Outcome::Ended, 0, ta::KeptBy::None,
                       L"still running when asked to close");
        else
            ta::RecordStatus(ta::ItemKind::Process, asked->item, status);
    }
    if (!asked_.empty()) lastStopAt_ = ::GetTickCount64();
    asked_.clear();
}

void ShutdownRound::StopReturning() {
    Finish();
    // Nothing ran, so nothing can have been started anew on its end; what ran and could not be
    // stopped is found again below, and counts as still running.
    if (lastStopAt_ == 0) return;
    const ULONGLONG until = ::GetTickCount64() + kReturnBoundMs;
    deadline_ = until;
    std::unordered_map<DWORD, DWORD> refusals;
    for (int pass = 0;; ++pass) {
        const ULONGLONG settled = std::min(lastStopAt_ + kSettleMs, until);
        const ULONGLONG now = ::GetTickCount64();
        if (settled > now) ::Sleep(static_cast<DWORD>(settled - now));
        std::vector<Returned> found = LookAgain();
        if (found.empty()) return;
        const bool stopped = pass < kReturnPasses && ::GetTickCount64() < until && StopAll(found, refusals);
        if (stopped) continue;
        for (const Returned& running : found) {
            const auto refused = refusals.find(running.processId);
            const DWORD error = running.error ? running.error : refused != refusals.end() ? refused->second : 0;
            ta::Record(ta::ItemKind::Process, running.item, ta::Outcome::Failed, error, ta::KeptBy::None,
                       error ? L"still running when the shutdown ended: it could not be ended"
                             : L"still running when the shutdown ended: it was started again each time it was ended");
        }
        return;
    }
}

std::vector<ShutdownRound::Returned> ShutdownRound::LookAgain() const {
    const DWORD self = ::GetCurrentProcessId();
    std::vector<Returned> found;
    for (const std::wstring& name : names_) {
        ForEachMatch(name, [&](DWORD processId, const FILETIME& listedAt) {
            if (processId == self ||
                std::any_of(found.begin(), found.end(), [&](const Returned& r) { return r.processId == processId; }))
                return true;
            DWORD error = ERROR_SUCCESS;
            ta::KernelHandle process = OpenListed(processId, name, listedAt, error);
            // A number that names another program by now is not one of ours.
            if (process || error != ERROR_SUCCESS)
                found.push_back({processId, ItemOf(name, processId), std::move(process), error});
            return true;
        }, Spare::Quietly);
    }
    return found;
}

bool ShutdownRound::StopAll(std::vector<Returned>& found, std::unordered_map<DWORD, DWORD>& refusals) {
    const auto windows = CloseRequest::TopLevelWindowsByProcess();
    std::vector<Returned*> ending;
    std::vector<std::pair<Returned*, const std::vector<HWND>*>> asking;
    for (Returned& returned : found) {
        if (!returned.process)
            refusals[returned.processId] = returned.error;
        else if (const auto own = windows.find(returned.processId); own != windows.end())
            asking.emplace_back(&returned, &own->second);
        else
            ending.push_back(&returned);
    }
    // All of them before any is asked or ended: one of a pair that restart each other, gone
    // while the other still runs, would be started again at once.
    for (Returned* returned : ending) Suspend(returned->process.get());
    for (auto& [returned, own] : asking)
        AskToClose(returned->processId, returned->item, std::move(returned->process), *own);
    bool ended = false;
    for (Returned* returned : ending) {
        const DWORD status = Terminate(returned->process.get());
        if (status != ERROR_SUCCESS) {
            refusals[returned->processId] = status;
            continue;
        }
        ended = true;
        ta::Record(ta::ItemKind::Process, returned->item, ta::Outcome::Ended, 0, ta::KeptBy::None,
                   L"started again after it was stopped");
    }
    if (ended) lastStopAt_ = ::GetTickCount64();
    Finish();
    return ended || !asking.empty();
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
