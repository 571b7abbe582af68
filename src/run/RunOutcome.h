#pragma once
// How a run ends: the exit codes deployment tools already read from installers, derived from
// the removal record, and the removal log, written as the run goes when one was asked for.
#include <string>

#include "record/RemovalRecord.h"
#include "record/Step.h"
#include "run/RemovalRun.h"

namespace ta {

inline constexpr int kExitSuccess = 0;            // everything that should go is gone
inline constexpr int kExitInvalidParameter = 87;  // a switch the program does not know
inline constexpr int kExitUserCancelled = 1602;
inline constexpr int kExitFailed = 1603;          // something of the product is still there
inline constexpr int kExitAnotherInstance = 1618;
inline constexpr int kExitRestartPending = 3010;  // removed, some of it at the next restart
inline constexpr int kExitRestartInitiated = 1641;  // removed, and the restart that finishes it begun

// 1603 when something of the product's footprint is still there and does not wait for the restart
// (an item a removal step failed to remove, a removal step that broke off, or a program of the
// shutdown still running after it), else 3010 when anything waits for the restart, else 0.
// Nothing else (the report, the processes' other failures, the text-services library) changes
// the code.
int ExitCodeOf(const std::vector<RecordEntry>& entries);

// Whether anything of the removal waits for the next restart.
bool WaitsForRestart(const std::vector<RecordEntry>& entries);

// What of the product's footprint is still there and does not wait for the restart: the last
// entry of each such item, and each removal step that broke off, in the order first met.
std::vector<RecordEntry> WhatStayed(const std::vector<RecordEntry>& entries);

// Opens the log the run was asked for (run.request.logPath) and lets the run's record stream to
// it from now on: the header first, then each entry's line as it is written. Without
// a log path the record streams nowhere, keeping only what the run reads afterwards. A log that
// cannot be opened changes nothing of the run: the log, with a line saying why, goes to
// FallbackLogPath instead. Once per run; FinishRun calls it when nothing did before.
void StartRemovalLog(RemovalRun& run);

// The log is the run's own work: nothing of the product stays when it fails.
inline constexpr Step kWriteRemovalLogStep{L"WriteRemovalLog", Footprint::None};

// Ends the log with the totals and exitCode (starting it first when it was asked for and not
// started), then ends the program at once with exitCode. The wizard's EndRun does what a run
// of its own has left to do first.
void FinishRun(RemovalRun& run, int exitCode);
// "%TEMP%\TaUnInst removal.log".
std::wstring FallbackLogPath();

}  // namespace ta
