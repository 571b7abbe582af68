#include "record/RemovalRecord.h"

#include <algorithm>
#include <atomic>
#include <cwchar>

#include "platform/AppError.h"
#include "platform/Text.h"

namespace ta {
namespace {

std::atomic<RemovalRecord*> currentRecord{nullptr};
thread_local const Step* currentStep = nullptr;

std::wstring ItemKey(const RecordEntry& entry) { return ItemKindName(entry.kind) + (L"\t" + ToLower(entry.item)); }

}  // namespace

void RemovalRecord::Add(RecordEntry entry) {
    std::lock_guard lock(mutex_);
    const size_t outcome = static_cast<size_t>(entry.outcome);
    if (outcome >= counts_.size()) counts_.resize(outcome + 1);
    ++counts_[outcome];
    if (sink_) sink_->Write(entry);
    if (!streaming_ || KeepsWhileStreaming(entry)) entries_.push_back(std::move(entry));
}

bool SaysStillThere(const RecordEntry& entry) noexcept {
    return entry.outcome == Outcome::Failed ||
           (entry.outcome == Outcome::Kept && (entry.keptBy == KeptBy::InUse || entry.keptBy == KeptBy::Hidden));
}

bool RemovalRecord::KeepsWhileStreaming(const RecordEntry& entry) {
    // What is still there may yet go in a later pass (a retry): its later entries are kept.
    const bool failed = SaysStillThere(entry);
    if (!failed && entry.outcome != Outcome::PendingRestart && entry.outcome != Outcome::Kept) {
        // What a later pass did to an item that failed decides whether it is still there.
        if (failedItems_.empty()) return false;
        return failedItems_.count(ItemKey(entry)) != 0;
    }
    if (failed) failedItems_.insert(ItemKey(entry));
    return true;
}

void RemovalRecord::Stream(RecordSink* sink) {
    std::lock_guard lock(mutex_);
    sink_ = sink;
    if (streaming_) return;
    streaming_ = true;
    std::vector<RecordEntry> kept;
    for (RecordEntry& entry : entries_) {
        if (sink_) sink_->Write(entry);
        if (KeepsWhileStreaming(entry)) kept.push_back(std::move(entry));
    }
    entries_ = std::move(kept);
}

std::vector<RecordEntry> RemovalRecord::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::optional<RecordEntry> RemovalRecord::Find(std::wstring_view item) const {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(entries_.rbegin(), entries_.rend(),
                                 [&](const RecordEntry& entry) { return SameNameNoCase(entry.item, item); });
    if (it == entries_.rend()) return std::nullopt;
    return *it;
}

size_t RemovalRecord::Count(Outcome outcome) const {
    std::lock_guard lock(mutex_);
    const size_t index = static_cast<size_t>(outcome);
    return index < counts_.size() ? counts_[index] : 0;
}

void RemovalRecord::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    counts_.clear();
    failedItems_.clear();
}

RecordingScope::RecordingScope(RemovalRecord& record) noexcept : previous_(currentRecord.exchange(&record)) {}
RecordingScope::~RecordingScope() { currentRecord = previous_; }
RemovalRecord* CurrentRecord() noexcept { return currentRecord; }

StepScope::StepScope(const Step* step) noexcept : previous_(currentStep) { currentStep = step; }
StepScope::~StepScope() { currentStep = previous_; }
const Step* StepScope::Current() noexcept { return currentStep; }

void Record(ItemKind kind, const std::wstring& item, Outcome outcome, DWORD error, KeptBy keptBy, std::wstring detail,
            ErrorKind errorKind) {
    RemovalRecord* record = CurrentRecord();
    if (!record) return;
    RecordEntry entry;
    ::GetSystemTimeAsFileTime(&entry.time);
    if (currentStep) {
        entry.step = currentStep->name;
        entry.footprint = currentStep->footprint;
    }
    entry.kind = kind;
    entry.item = item;
    entry.outcome = outcome;
    entry.keptBy = keptBy;
    entry.error = error;
    entry.detail = std::move(detail);
    entry.errorKind = errorKind;
    record->Add(std::move(entry));
}

void RecordStatus(ItemKind kind, const std::wstring& item, DWORD status, Outcome onSuccess) {
    if (status == ERROR_SUCCESS)
        Record(kind, item, onSuccess);
    else if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND)
        Record(kind, item, Outcome::Absent);
    else
        Record(kind, item, Outcome::Failed, status);
}

std::wstring StatusText(ErrorKind kind, DWORD status) {
    if (status == 0) return {};
    wchar_t hex[16];
    std::swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(status));
    std::wstring text;
    std::wstring message;
    switch (kind) {
    case ErrorKind::Win32:
        text = L"error " + std::to_wstring(status);
        message = SystemMessageText(status);
        break;
    case ErrorKind::HResult:
        text = std::wstring(L"HRESULT ") + hex;
        message = SystemMessageText(status);
        break;
    case ErrorKind::NtStatus: {
        text = std::wstring(L"NTSTATUS ") + hex;
        // The system's own translation, for the message text; the status itself stays exact.
        using ToDosErrorFn = ULONG(WINAPI*)(LONG);
        static const auto toDosError = reinterpret_cast<ToDosErrorFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
        const ULONG dosError = toDosError ? toDosError(static_cast<LONG>(status)) : 0;
        if (dosError != 0 && dosError != ERROR_MR_MID_NOT_FOUND)
            return text + L" (" + StatusText(ErrorKind::Win32, dosError) + L")";
        return text;
    }
    }
    return message.empty() ? text : text + L": " + message;
}

const wchar_t* OutcomeName(Outcome outcome) noexcept {
    switch (outcome) {
    case Outcome::Removed: return L"removed";
    case Outcome::Done: return L"done";
    case Outcome::Absent: return L"absent";
    case Outcome::Kept: return L"kept";
    case Outcome::Failed: return L"failed";
    case Outcome::PendingRestart: return L"pending restart";
    case Outcome::Closed: return L"closed";
    case Outcome::Ended: return L"ended";
    }
    return L"";
}

const wchar_t* KeptByName(KeptBy keptBy) noexcept {
    switch (keptBy) {
    case KeptBy::None: return L"";
    case KeptBy::Guard: return L"guard";
    case KeptBy::Link: return L"link";
    case KeptBy::Foreign: return L"foreign";
    case KeptBy::InUse: return L"in use";
    case KeptBy::Hidden: return L"hidden";
    }
    return L"";
}

const wchar_t* ItemKindName(ItemKind kind) noexcept {
    switch (kind) {
    case ItemKind::Step: return L"step";
    case ItemKind::File: return L"file";
    case ItemKind::Folder: return L"folder";
    case ItemKind::Key: return L"key";
    case ItemKind::Value: return L"value";
    case ItemKind::Shortcut: return L"shortcut";
    case ItemKind::Process: return L"process";
    case ItemKind::Component: return L"component";
    case ItemKind::Tray: return L"tray";
    case ItemKind::Report: return L"report";
    case ItemKind::HandOver: return L"hand-over";
    case ItemKind::Profile: return L"profile";
    }
    return L"";
}

}  // namespace ta
