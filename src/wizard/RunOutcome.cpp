#include "wizard/RunOutcome.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "platform/AppError.h"
#include "platform/AppShell.h"
#include "platform/ContinueOnError.h"
#include "platform/FileRewrite.h"
#include "platform/Text.h"
#include "wizard/HandOver.h"

namespace ta {
namespace {

constexpr wchar_t kProgramVersion[] = L"1.00.0039";

// The steps that take the product's footprint off the machine. What one of them failed to remove
// is still there; so may be whatever it had not reached when it broke off. The other steps
// (settings, processes, the tray, the "Uninstall" mark, the text-services library, the report,
// the pages' own work) leave nothing of the product behind when they fail.
const wchar_t* const kFootprintSteps[] = {
    L"ProgramPath",         L"FindFilesAPI",          L"RemoveInstallFolders", L"RemoveBrowserHelper",
    L"DeleteSystemFiles",   L"RemoveRegistryEntries", L"RemoveShortcuts",
};

// Whether the entry says that something of the product is still there and does not wait for
// the restart. Processes, the tray and the report are means to the removal, not parts of it.
bool LeavesFootprint(const RecordEntry& entry) {
    if (entry.outcome != Outcome::Failed) return false;
    switch (entry.kind) {
    case ItemKind::Process:
    case ItemKind::Tray:
    case ItemKind::Report:
        return false;
    default:
        return std::any_of(std::begin(kFootprintSteps), std::end(kFootprintSteps),
                           [&](const wchar_t* step) { return entry.step == step; });
    }
}

// Whether anything of the product is still there: a removal step that broke off, or an item a
// removal step failed to remove that no later entry reports gone (a second pass that took it,
// or found it gone, or scheduled it for the restart).
bool FootprintLeft(const std::vector<RecordEntry>& entries) {
    std::unordered_map<std::wstring, bool> left;  // kind and item in lower case: still there
    for (const RecordEntry& entry : entries) {
        if (entry.kind == ItemKind::Step || entry.item.empty()) {
            if (LeavesFootprint(entry)) return true;
            continue;
        }
        const std::wstring key = ItemKindName(entry.kind) + (L"\t" + ToLower(entry.item));
        if (LeavesFootprint(entry))
            left[key] = true;
        else if (entry.outcome == Outcome::Removed || entry.outcome == Outcome::Absent ||
                 entry.outcome == Outcome::PendingRestart)
            left[key] = false;
    }
    return std::any_of(left.begin(), left.end(), [](const auto& item) { return item.second; });
}

std::wstring TimeText(const FILETIME& utc) {
    FILETIME local;
    SYSTEMTIME t;
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &t)) return L"-";
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond, t.wMilliseconds);
    return text;
}

std::wstring WindowsVersion() {
    // The real version, which the compatibility layer hides from GetVersionEx.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const auto get = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!get || get(&info) != 0) return L"unknown";
    return std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) + L"." +
           std::to_wstring(info.dwBuildNumber);
}

std::wstring OutcomeText(const RecordEntry& entry) {
    std::wstring text = OutcomeName(entry.outcome);
    if (entry.keptBy != KeptBy::None) text += std::wstring(L" (") + KeptByName(entry.keptBy) + L")";
    return text;
}

std::wstring ErrorText(const RecordEntry& entry) {
    std::wstring text = StatusText(entry.errorKind, entry.error);
    if (!entry.detail.empty()) text += (text.empty() ? L"" : L"; ") + entry.detail;
    return text;
}

}  // namespace

int ExitCodeOf(const std::vector<RecordEntry>& entries) {
    if (FootprintLeft(entries)) return kExitFailed;
    return WaitsForRestart(entries) ? kExitRestartPending : kExitSuccess;
}

bool WaitsForRestart(const std::vector<RecordEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(),
                       [](const RecordEntry& entry) { return entry.outcome == Outcome::PendingRestart; });
}

RunRequest& CurrentRequest() {
    static RunRequest request;
    return request;
}

std::string FormatRemovalLog(const std::vector<RecordEntry>& entries, int exitCode, const std::wstring& switches) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    std::wstring text = L"TaUnInst " + std::wstring(kProgramVersion) + L" removal log\r\n";
    text += L"time: " + TimeText(now) + L"\r\n";
    text += L"windows: " + WindowsVersion() + L"\r\n";
    text += L"switches: " + (switches.empty() ? std::wstring(L"(none)") : switches) + L"\r\n";
    text += L"time\tstep\tkind\titem\toutcome\terror\r\n";
    size_t counts[static_cast<int>(Outcome::Ended) + 1] = {};
    for (const RecordEntry& entry : entries) {
        ++counts[static_cast<int>(entry.outcome)];
        text += TimeText(entry.time) + L"\t" + entry.step + L"\t" + ItemKindName(entry.kind) + L"\t" + entry.item +
                L"\t" + OutcomeText(entry) + L"\t" + ErrorText(entry) + L"\r\n";
    }
    // Nothing of the product was met: nothing went, nothing waits, nothing of it stayed.
    const bool nothing = counts[static_cast<int>(Outcome::Removed)] == 0 &&
                         counts[static_cast<int>(Outcome::PendingRestart)] == 0 &&
                         counts[static_cast<int>(Outcome::Closed)] == 0 && counts[static_cast<int>(Outcome::Ended)] == 0 &&
                         !FootprintLeft(entries);
    text += L"total: " + std::to_wstring(counts[static_cast<int>(Outcome::Removed)]) + L" removed, " +
            std::to_wstring(counts[static_cast<int>(Outcome::PendingRestart)]) + L" pending restart, " +
            std::to_wstring(counts[static_cast<int>(Outcome::Failed)]) + L" failed, " +
            std::to_wstring(counts[static_cast<int>(Outcome::Kept)]) + L" kept, " +
            std::to_wstring(counts[static_cast<int>(Outcome::Absent)]) + L" absent" +
            (nothing ? L" (nothing to remove)" : L"") + L"; exit code " + std::to_wstring(exitCode) + L"\r\n";
    return ToUtf8(text);
}

void EndRun(int exitCode) {
    Attempt(L"HandOver", [] { ArrangePrivateFolderRemoval(); });
    Attempt(L"WriteRemovalLog", [&] {
        const RunRequest& request = CurrentRequest();
        if (request.logPath.empty()) return;
        const auto text = [&] {
            const RemovalRecord* record = CurrentRecord();
            return FormatRemovalLog(record ? record->Entries() : std::vector<RecordEntry>{}, exitCode, request.switches);
        };
        // Never through a link: the log's folder may be anybody's.
        const Rewrite rewrite = RewriteFile(request.logPath, text());
        if (rewrite.result == Rewrite::Written) return;
        if (rewrite.result == Rewrite::Refused)
            RecordRefusedRewrite(L"WriteRemovalLog", request.logPath, rewrite);
        else
            Record(ItemKind::Step, request.logPath, Outcome::Failed, rewrite.error, KeptBy::None,
                   L"the log could not be written");
        // The log goes to the temporary folder instead, which the account that runs the removal
        // can write, with a line saying why the path asked for was not written.
        RewriteFile(FallbackLogPath(), text());
    });
    Shell().EndProgram(exitCode);
}

std::wstring FallbackLogPath() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, folder);
    return (n == 0 || n > MAX_PATH ? std::wstring(L"C:\\") : std::wstring(folder, n)) + L"TaUnInst removal.log";
}

}  // namespace ta
