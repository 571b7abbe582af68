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
#include <vector>

#include "platform/Handles.h"

namespace ProKill {

// How long the programs asked to close get to end by themselves, counted from the last one
// asked; and the bound of a whole round, its asking included.
inline constexpr DWORD kCloseWaitMs = 5000;
inline constexpr DWORD kRoundBoundMs = 15000;

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
    // never past the deadline), then ends those still running, in the order they were asked.
    void Finish();

    ULONGLONG Deadline() const noexcept { return deadline_; }

private:
    struct Asked {
        DWORD processId;
        std::wstring item;
        ta::KernelHandle process;
        const wchar_t* step;  // the step that asked, for what the wait finds
    };
    ULONGLONG deadline_;
    ULONGLONG waitUntil_ = 0;
    std::vector<Asked> asked_;
};

// Stops every running process that matches name in a round of its own (see ShutdownRound::Stop).
bool KillProcessByName(const std::wstring& name);

// False as soon as one running process matches name; true when none does or no process list
// could be taken. Stops nothing.
bool ProcessNotRunning(const std::wstring& name);

}  // namespace ProKill
