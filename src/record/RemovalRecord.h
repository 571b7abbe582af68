#pragma once
// The removal record: every step writes what it did to each item and how that ended, so that a
// test, support or an administrator can tell what was removed, what stayed, and why. Any thread
// may write to it. It keeps every entry in memory, unless it streams them (Stream): then each
// goes to the removal log as it comes, and memory holds only what the run reads afterwards.
#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/SlimLock.h"
#include "record/Step.h"

namespace ta {

// HandOver: the program's private copy and what it does to run the removal from outside the
// install folder (not part of the product). Profile: another person's profile, named by its folder,
// whose shortcuts the removal looked for.
enum class ItemKind { Step, File, Folder, Key, Value, Shortcut, Process, Component, Tray, Report, HandOver, Profile };

enum class Outcome {
    Removed,         // deleted, ended, unregistered
    Done,            // an action that removes nothing: a value written, a message sent, a report made
    Absent,          // nothing there to act on
    Kept,            // left on purpose; keptBy says which rule
    Failed,          // tried and refused; error says why
    PendingRestart,  // goes at the next restart
    Closed,          // a program that ended by itself when asked to close
    Ended,           // a program that was terminated
};

// InUse: a file of the product that another program holds open, so that it can neither go now nor
// be left where the restart could safely delete it; it is still there. Hidden: a product file with
// the hidden or system attribute, which the removal does not act on; it is still there too.
enum class KeptBy { None, Guard, Link, Foreign, InUse, Hidden };

// Which system's status an entry's error number is.
enum class ErrorKind { Win32, HResult, NtStatus };

struct RecordEntry {
    FILETIME time{};    // UTC
    std::wstring step;  // the removal step that ran it
    Footprint footprint = Footprint::None;  // what that step declares its failures leave
    ItemKind kind = ItemKind::Step;
    std::wstring item;
    Outcome outcome = Outcome::Done;
    KeptBy keptBy = KeptBy::None;
    DWORD error = 0;      // the status of a failure, when there is one
    std::wstring detail;  // what a failure said beyond its error number
    ErrorKind errorKind = ErrorKind::Win32;
};

// Where a streaming record writes each entry, in the order they are added (under the record's
// lock, so one at a time).
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void Write(const RecordEntry& entry) = 0;
};

class RemovalRecord {
public:
    void Add(RecordEntry entry);
    // From now on every entry goes to sink as it comes (those so far go first; nullptr: nowhere),
    // and the record keeps only what the run reads afterwards: the totals, every entry that
    // failed, waits for the restart or was kept, and the later entries of an item that failed.
    // Called again, it changes the sink; the record does not go back to keeping everything.
    void Stream(RecordSink* sink);
    // A copy of every entry so far, in the order they were written; while streaming, of those kept.
    std::vector<RecordEntry> Entries() const;
    // The last entry for item (compared without letter case), if any; while streaming, of those kept.
    std::optional<RecordEntry> Find(std::wstring_view item) const;
    // Of every entry written, streamed or kept.
    size_t Count(Outcome outcome) const;
    void Clear();

private:
    // Whether a streaming record keeps the entry; notes an item that failed.
    bool KeepsWhileStreaming(const RecordEntry& entry);

    mutable SlimMutex mutex_;
    std::vector<RecordEntry> entries_;
    std::vector<size_t> counts_;  // by outcome
    bool streaming_ = false;
    RecordSink* sink_ = nullptr;
    std::unordered_set<std::wstring> failedItems_;  // while streaming: kind and lower-case item of each failure
};

// The record of the current run: while a scope is alive, the steps of every thread write to its
// record. Without one they record nothing.
// It is the one thing the program keeps ambient, on purpose: about a hundred places deep in the
// modules (deletions, the registry layer's trace, process ends, the report) say what became of an
// item, and none of them needs the run for anything else; passing the run to each would put it
// into interfaces that have nothing to do with it. Whatever else one step hands to a later one
// (the install path, the request, the log, the shutdown's deadline) goes through the run or the
// sequence that runs the steps, never through a global.
class RecordingScope {
public:
    explicit RecordingScope(RemovalRecord& record) noexcept;
    ~RecordingScope();
    RecordingScope(const RecordingScope&) = delete;
    RecordingScope& operator=(const RecordingScope&) = delete;

private:
    RemovalRecord* previous_;
};
RemovalRecord* CurrentRecord() noexcept;

// Names the step this thread runs, for the entries written meanwhile (steps nest). The step is
// one declared with static storage: the scope keeps its address.
class StepScope {
public:
    explicit StepScope(const Step& step) noexcept : StepScope(&step) {}
    StepScope(const Step&&) = delete;
    // A step handed over from another thread (Current); nullptr files under no step.
    explicit StepScope(const Step* step) noexcept;
    ~StepScope();
    StepScope(const StepScope&) = delete;
    StepScope& operator=(const StepScope&) = delete;

    // The step this thread runs (nullptr outside any), for work it hands to other threads.
    static const Step* Current() noexcept;

private:
    const Step* previous_;
};

// Whether the entry says its item is still there: it failed, or was kept in use or hidden (a later
// entry of the same item may yet say it went).
bool SaysStillThere(const RecordEntry& entry) noexcept;

// Writes one entry to the current record, in the step this thread runs.
void Record(ItemKind kind, const std::wstring& item, Outcome outcome, DWORD error = 0, KeptBy keptBy = KeptBy::None,
            std::wstring detail = {}, ErrorKind errorKind = ErrorKind::Win32);
inline void RecordKept(ItemKind kind, const std::wstring& item, KeptBy keptBy) {
    Record(kind, item, Outcome::Kept, 0, keptBy);
}
// The outcome of an operation that answered a Win32 status: success is outcome, "not found" is
// Absent, anything else Failed with the status.
void RecordStatus(ItemKind kind, const std::wstring& item, DWORD status, Outcome onSuccess = Outcome::Removed);

// A status as the log shows it: "error 5: Access denied.", "HRESULT 0x80004005: ...",
// "NTSTATUS 0xC0000022 (error 5: ...)"; empty for 0.
std::wstring StatusText(ErrorKind kind, DWORD status);

// The words the log uses.
const wchar_t* OutcomeName(Outcome outcome) noexcept;
const wchar_t* KeptByName(KeptBy keptBy) noexcept;
const wchar_t* ItemKindName(ItemKind kind) noexcept;

}  // namespace ta
