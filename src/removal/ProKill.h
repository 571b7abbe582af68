#pragma once
// Finds and stops running processes by executable name. A name matches a process when the
// executable name the process list reports ends with it, in any case: "tasuf.exe" matches
// "TaSuf.EXE", "C:\...\tasuf.exe" and "mytasuf.exe" alike.
//
// A process with top-level windows is a program somebody may be working in: it is first asked
// to close as Windows asks at shutdown, so that it can save its work, and ended only when it is
// still running after a few seconds. A process without windows is ended at once. The record
// says which: "closed" (it ended when asked) or "ended" (it was terminated).
#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Handles.h"
#include "record/Step.h"

namespace ProKill {

// How long the programs asked to close get to end by themselves, counted from the last one
// asked; and the bound of a whole round, its asking included.
inline constexpr DWORD kCloseWaitMs = 5000;
inline constexpr DWORD kRoundBoundMs = 15000;
// The bound of the looks after a round for what came back: whichever comes first.
inline constexpr int kReturnPasses = 5;
inline constexpr DWORD kReturnBoundMs = 10000;
// How long after the latest ending a look waits: a program being started anew takes a few
// hundred milliseconds to show in the process list.
inline constexpr DWORD kSettleMs = 500;

// Whether a reported executable name ends with the searched name (case-insensitive).
bool NameMatches(std::wstring_view exeName, std::wstring_view name);

// Whether the open process is still the one a process list taken at listedAt named: its program
// matches name and it was created before the list. A process number is reused once its process
// has ended, so a number read from a list names another program when that one is gone.
bool IsTheProcessListed(HANDLE process, std::wstring_view name, const FILETIME& listedAt);

// One round of stopping: every program of the round is asked first, then all of them are given
// the same time to end, so that several programs cost the wait of one. Our own process and the
// processes Windows cannot run without (smss, csrss, wininit, winlogon, services, lsass) are
// never stopped. A process that cannot be opened or ended is passed over, and recorded.
class ShutdownRound {
public:
    // deadline: a GetTickCount64 time the round never waits past; 0 is kRoundBoundMs from now.
    explicit ShutdownRound(ULONGLONG deadline = 0);
    ~ShutdownRound();
    ShutdownRound(const ShutdownRound&) = delete;
    ShutdownRound& operator=(const ShutdownRound&) = delete;

    // Every running process that matches name: one with windows is asked to close, one without
    // is ended now. Answers true when the process list was walked to its end (also when nothing
    // matched), false when no process list could be taken.
    bool Stop(const std::wstring& name);
    // Waits for the programs asked to close, until the last of them has had kCloseWaitMs (and
    // never past the deadline), then suspends those still running and ends them, in the order
    // they were asked.
    void Finish();
    // Finishes the round, then looks again at every name it stopped, for programs that something
    // started anew (a program the product is loaded into, a service's recovery), and stops them,
    // until a look finds none: at most kReturnPasses times and kReturnBoundMs in all. What a pass
    // finds is all suspended before any is ended, so that programs that restart each other
    // cannot; one with windows is asked to close first, as in the round. Each process that still
    // runs after the bound is recorded as failed, with the reason.
    void StopReturning();

    ULONGLONG Deadline() const noexcept { return deadline_; }

private:
    struct Asked {
        DWORD processId;
        std::wstring item;
        ta::KernelHandle process;
        const ta::Step* step;  // the step that asked, for what the wait finds
    };
    // A process a look after the round found running; process is empty when it could not be
    // opened (error says why).
    struct Returned {
        DWORD processId;
        std::wstring item;
        ta::KernelHandle process;
        DWORD error;
    };
    // Asks the program to close through its windows; Finish waits for it.
    void AskToClose(DWORD processId, std::wstring item, ta::KernelHandle process, const std::vector<HWND>& windows);
    std::vector<Returned> LookAgain() const;
    // Suspends those without windows, asks those with windows, ends the suspended, and finishes;
    // notes by process id the status that refused an ending. Answers false when it could stop
    // none of them.
    bool StopAll(std::vector<Returned>& found, std::unordered_map<DWORD, DWORD>& refusals);

    ULONGLONG deadline_;
    ULONGLONG waitUntil_ = 0;
    std::vector<Asked> asked_;
    std::vector<std::wstring> names_;  // every name the round was asked to stop
    ULONGLONG lastStopAt_ = 0;         // when the round last found, asked or ended a process; 0: never
};

// Stops every running process that matches name in a round of its own (see ShutdownRound::Stop).
bool KillProcessByName(const std::wstring& name);

// False as soon as one running process matches name; true when none does or no process list
// could be taken. Stops nothing.
bool ProcessNotRunning(const std::wstring& name);

}  // namespace ProKill
