#include "run/RunOutcome.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <unordered_map>

#include "fs/FileRewrite.h"
#include "platform/AppError.h"
#include "platform/AppShell.h"
#include "platform/Handles.h"
#include "platform/SlimLock.h"
#include "platform/Text.h"
#include "record/ContinueOnError.h"

namespace ta {
namespace {

constexpr wchar_t kProgramVersion[] = L"1.00.0039";

// Whether the entry says that something of the product is still there and does not wait for
// the restart, as its step declares: what a removal step failed to remove, or did not reach when
// it broke off, is still there; a program the shutdown left running holds its files and runs on
// after the removal. The tray and the report are never part of the product.
bool LeavesFootprint(const RecordEntry& entry) {
    if (!SaysStillThere(entry)) return false;
    switch (entry.kind) {
    case ItemKind::Process:
        return entry.footprint == Footprint::Programs;
    case ItemKind::Tray:
    case ItemKind::Report:
        return false;
    default:
        return entry.footprint == Footprint::Items;
    }
}

bool FootprintLeft(const std::vector<RecordEntry>& entries) { return !WhatStayed(entries).empty(); }

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

std::vector<RecordEntry> WhatStayed(const std::vector<RecordEntry>& entries) {
    // In the order first met, each removal step that broke off, and each item's last entry that
    // says it stayed, or nothing once a later one (a second pass that took it, or found it gone,
    // or scheduled it for the restart) says it went.
    std::vector<std::optional<RecordEntry>> stayed;
    std::unordered_map<std::wstring, size_t> at;  // kind and item in lower case: where in stayed
    for (const RecordEntry& entry : entries) {
        const bool step = entry.kind == ItemKind::Step || entry.item.empty();
        const std::wstring key = step ? std::wstring() : ItemKindName(entry.kind) + (L"\t" + ToLower(entry.item));
        const auto known = step ? at.end() : at.find(key);
        if (LeavesFootprint(entry)) {
            if (known != at.end()) {
                stayed[known->second] = entry;
                continue;
            }
            if (!step) at.emplace(key, stayed.size());
            stayed.emplace_back(entry);
        } else if (known != at.end() &&
                   (entry.outcome == Outcome::Removed || entry.outcome == Outcome::Absent ||
                    entry.outcome == Outcome::PendingRestart || entry.outcome == Outcome::Ended ||
                    entry.outcome == Outcome::Closed)) {
            stayed[known->second].reset();
        }
    }
    std::vector<RecordEntry> left;
    for (std::optional<RecordEntry>& entry : stayed)
        if (entry) left.push_back(std::move(*entry));
    return left;
}

bool WaitsForRestart(const std::vector<RecordEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(),
                       [](const RecordEntry& entry) { return entry.outcome == Outcome::PendingRestart; });
}

namespace {

std::string LogHeader(const std::wstring& switches) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    std::wstring text = L"TaUnInst " + std::wstring(kProgramVersion) + L" removal log\r\n";
    text += L"time: " + TimeText(now) + L"\r\n";
    text += L"windows: " + WindowsVersion() + L"\r\n";
    text += L"switches: " + (switches.empty() ? std::wstring(L"(none)") : switches) + L"\r\n";
    text += L"time\tstep\tkind\titem\toutcome\terror\r\n";
    return ToUtf8(text);
}

std::string LogLine(const RecordEntry& entry) {
    return ToUtf8(TimeText(entry.time) + L"\t" + entry.step + L"\t" + ItemKindName(entry.kind) + L"\t" + entry.item +
                  L"\t" + OutcomeText(entry) + L"\t" + ErrorText(entry) + L"\r\n");
}

std::string LogTotals(const RemovalRecord& record, int exitCode) {
    const auto count = [&](Outcome outcome) { return std::to_wstring(record.Count(outcome)); };
    // Nothing of the product was met: nothing went, nothing waits, nothing of it stayed.
    const bool nothing = record.Count(Outcome::Removed) == 0 && record.Count(Outcome::PendingRestart) == 0 &&
                         record.Count(Outcome::Closed) == 0 && record.Count(Outcome::Ended) == 0 &&
                         !FootprintLeft(record.Entries());
    return ToUtf8(L"total: " + count(Outcome::Removed) + L" removed, " + count(Outcome::PendingRestart) +
                  L" pending restart, " + count(Outcome::Failed) + L" failed, " + count(Outcome::Kept) + L" kept, " +
                  count(Outcome::Absent) + L" absent" + (nothing ? L" (nothing to remove)" : L"") + L"; exit code " +
                  std::to_wstring(exitCode) + L"\r\n");
}

}  // namespace

// The removal log as the run writes it: opened once, never through a link, and fed the record's
// lines as they come. They are gathered and written in pieces (when a piece is full, when a step
// begins, and at least once a second while lines wait), so that a run of many files does not pay
// a write for every line, and a run that hangs or is killed (a deployment tool's time-out) leaves
// on disk what it did up to a second before, the step it was in among it.
class RemovalLogFile : public RecordSink {
public:
    explicit RemovalLogFile(FileHandle file) : file_(std::move(file)) {
        ::CreateTimerQueueTimer(&timer_, nullptr, FlushWaiting, this, kMostMsBehind, kMostMsBehind,
                                WT_EXECUTEDEFAULT);
    }
    ~RemovalLogFile() override {
        // Waits for a flush under way; none comes after.
        if (timer_) ::DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    }
    RemovalLogFile(const RemovalLogFile&) = delete;
    RemovalLogFile& operator=(const RemovalLogFile&) = delete;

    void Write(const RecordEntry& entry) override {
        std::lock_guard lock(mutex_);
        // A new step: what the one before did goes to disk first.
        if (entry.step != lastStep_) {
            FlushLocked();
            lastStep_ = entry.step;
        }
        pending_ += LogLine(entry);
        if (pending_.size() >= kPieceBytes) FlushLocked();
    }
    void Append(std::string_view text) {
        std::lock_guard lock(mutex_);
        pending_ += text;
    }
    // Writes what is gathered; answers ERROR_SUCCESS or the first error a write met.
    DWORD Flush() {
        std::lock_guard lock(mutex_);
        return FlushLocked();
    }

private:
    static constexpr size_t kPieceBytes = 64 * 1024;
    static constexpr DWORD kMostMsBehind = 1000;

    static void CALLBACK FlushWaiting(PVOID self, BOOLEAN) { static_cast<RemovalLogFile*>(self)->Flush(); }

    DWORD FlushLocked() {
        if (error_ == ERROR_SUCCESS && !pending_.empty()) error_ = WriteAll(file_.get(), pending_);
        pending_.clear();
        return error_;
    }

    SlimMutex mutex_;
    FileHandle file_;
    std::string pending_;
    std::wstring lastStep_;
    DWORD error_ = ERROR_SUCCESS;
    HANDLE timer_ = nullptr;
};

namespace {

// The log at path, opened and begun; why it cannot be is recorded (as a link kept, or failed).
std::unique_ptr<RemovalLogFile> OpenLog(const std::wstring& path, const std::wstring& switches, bool record) {
    // The removal log is named on a command line and may lie anywhere: every folder on its way
    // must be a real one.
    OpenedRewrite opened = OpenForRewrite(path, {.realFolders = true});
    if (opened.rewrite.result == Rewrite::Written) {
        auto log = std::make_unique<RemovalLogFile>(std::move(opened.file));
        log->Append(LogHeader(switches));
        return log;
    }
    if (!record) return nullptr;
    if (opened.rewrite.result == Rewrite::Refused)
        RecordRefusedRewrite(kWriteRemovalLogStep, path, opened.rewrite);
    else
        Record(ItemKind::Step, path, Outcome::Failed, opened.rewrite.error, KeptBy::None,
               L"the log could not be written");
    return nullptr;
}

}  // namespace

RunLog::RunLog() = default;
RunLog::~RunLog() = default;

void StartRemovalLog(RemovalRun& run) {
    RunLog& log = run.log;
    RemovalRecord* record = &run.record;
    if (log.started) return;
    log.started = true;
    const RunRequest& request = run.request;
    if (!request.logPath.empty()) {
        log.path = request.logPath;
        log.file = OpenLog(log.path, request.switches, true);
        if (!log.file) {
            // The log goes to the temporary folder instead, which the account that runs the
            // removal can write, with a line saying why the path asked for was not written.
            log.path = FallbackLogPath();
            log.file = OpenLog(log.path, request.switches, false);
        }
    }
    record->Stream(log.file.get());
}

void FinishRun(RemovalRun& run, int exitCode) {
    Attempt(kWriteRemovalLogStep, [&] {
        if (!run.request.logPath.empty()) StartRemovalLog(run);
        RunLog& log = run.log;
        RemovalRecord* record = &run.record;
        const std::wstring path = log.path;
        std::unique_ptr<RemovalLogFile> file = std::move(log.file);
        log.started = false;
        log.path.clear();
        if (!file) return;
        record->Stream(nullptr);
        file->Append(LogTotals(*record, exitCode));
        const DWORD error = file->Flush();
        if (error == ERROR_SUCCESS) return;
        // A log that broke off (a full disk, a share gone): what the run kept goes to the
        // temporary folder, with the reason.
        Record(ItemKind::Step, path, Outcome::Failed, error, KeptBy::None, L"the log could not be written to its end");
        if (auto fallback = OpenLog(FallbackLogPath(), run.request.switches, false)) {
            for (const RecordEntry& entry : record->Entries()) fallback->Append(LogLine(entry));
            fallback->Append(LogTotals(*record, exitCode));
            fallback->Flush();
        }
    });
    Shell().EndProgram(exitCode);
}

std::wstring FallbackLogPath() {
    const std::wstring folder = TemporaryFolder();
    return (folder.empty() ? std::wstring(L"C:\\") : folder) + L"TaUnInst removal.log";
}

}  // namespace ta
