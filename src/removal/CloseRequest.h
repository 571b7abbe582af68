#pragma once
// Asking a running program to close as Windows asks it at shutdown, so that it can save what the
// person has not saved yet before it goes.
#include <windows.h>

#include <unordered_map>
#include <vector>

namespace CloseRequest {

// The top-level windows of every process that has any, by process id, in the system's order; the
// input method windows the system adds to every program are left out.
std::unordered_map<DWORD, std::vector<HWND>> TopLevelWindowsByProcess();

// How long one window gets to answer one message.
inline constexpr DWORD kAnswerWaitMs = 2000;

// Asks one program, through its top-level windows, to close: WM_QUERYENDSESSION is sent to each
// (a hung one is not waited for, any other at most kAnswerWaitMs and never past answerBy, a
// GetTickCount64 time), then WM_ENDSESSION, saying whether the session ends as the program
// answered, and WM_CLOSE is posted to its main windows (its visible unowned ones, or its unowned
// ones when none shows). Answers false when the program refused to end the session.
bool Ask(const std::vector<HWND>& windows, ULONGLONG answerBy);

}  // namespace CloseRequest
