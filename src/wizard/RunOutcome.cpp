#include "wizard/RunOutcome.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "platform/AppError.h"
#include "platform/AppShell.h"
#include "platform/ContinueOnError.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace ta {
namespace {

constexpr wchar_t kProgramVersion[] = L"1.00.0039";

// Items whose staying means the removal is not complete; processes, the tray and the report
// are means to that end, not parts of the footprint.
bool IsFootprint(ItemKind kind) {
    switch (kind) {
    case ItemKind::Step:
    case ItemKind::File:
    case ItemKind::Folder:
    case ItemKind::Key:
    case ItemKind::Value:
    case ItemKind::Shortcut:
    case ItemKind::Component:
        return true;
    default:
        return false;
    }
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
    std::wstring text;
    if (entry.error) {
        text = L"error " + std::to_wstring(entry.error);
        const std::wstring message = SystemMessageText(entry.error);
        if (!message.empty()) text += L": " + message;
    }
    if (!entry.detail.empty()) text += (text.empty() ? L"" : L"; ") + entry.detail;
    return text;
}

}  // namespace

int ExitCodeOf(const std::vector<RecordEntry>& entries) {
    for (const RecordEntry& entry : entries)
        if (entry.outcome == Outcome::Failed && IsFootprint(entry.kind)) return kExitFailed;
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
    const bool nothing = counts[static_cast<int>(Outcome::Removed)] == 0 &&
                         counts[static_cast<int>(Outcome::Failed)] == 0 &&
                         counts[static_cast<int>(Outcome::PendingRestart)] == 0 &&
                         counts[static_cast<int>(Outcome::Closed)] == 0 && counts[static_cast<int>(Outcome::Ended)] == 0;
    text += L"total: " + std::to_wstring(counts[static_cast<int>(Outcome::Removed)]) + L" removed, " +
            std::to_wstring(counts[static_cast<int>(Outcome::PendingRestart)]) + L" pending restart, " +
            std::to_wstring(counts[static_cast<int>(Outcome::Failed)]) + L" failed, " +
            std::to_wstring(counts[static_cast<int>(Outcome::Kept)]) + L" kept, " +
            std::to_wstring(counts[static_cast<int>(Outcome::Absent)]) + L" absent" +
            (nothing ? L" (nothing to remove)" : L"") + L"; exit code " + std::to_wstring(exitCode) + L"\r\n";
    return ToUtf8(text);
}

void EndRun(int exitCode) {
    Attempt([&] {
        const RunRequest& request = CurrentRequest();
        if (request.logPath.empty()) return;
        const RemovalRecord* record = CurrentRecord();
        const std::string text =
            FormatRemovalLog(record ? record->Entries() : std::vector<RecordEntry>{}, exitCode, request.switches);
        FileHandle file(::CreateFileW(request.logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        DWORD written = 0;
        ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    });
    Shell().EndProgram(exitCode);
}

}  // namespace ta
