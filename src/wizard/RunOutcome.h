#pragma once
// How a run ends: the exit codes deployment tools already read from installers, derived from
// the removal record, and the removal log written on the way out when one was asked for.
#include <string>

#include "platform/RemovalRecord.h"

namespace ta {

inline constexpr int kExitSuccess = 0;            // everything that should go is gone
inline constexpr int kExitInvalidParameter = 87;  // a switch the program does not know
inline constexpr int kExitUserCancelled = 1602;
inline constexpr int kExitFailed = 1603;          // something of the product is still there
inline constexpr int kExitAnotherInstance = 1618;
inline constexpr int kExitRestartPending = 3010;  // removed, some of it at the next restart

// 1603 when something of the product's footprint is still there and does not wait for the restart
// (an item a removal step failed to remove, or a removal step that broke off), else 3010 when
// anything waits for the restart, else 0. Nothing else (the report, the processes, the
// text-services library) changes the code.
int ExitCodeOf(const std::vector<RecordEntry>& entries);

// Whether anything of the removal waits for the next restart.
bool WaitsForRestart(const std::vector<RecordEntry>& entries);

// What the run was asked; set once at start-up.
struct RunRequest {
    std::wstring logPath;   // empty: no log
    std::wstring switches;  // the command line as given, for the log's header
};
RunRequest& CurrentRequest();

// The log as UTF-8 text: a header (version, time, Windows version, switches), one line per
// entry, and the totals with the exit code.
std::string FormatRemovalLog(const std::vector<RecordEntry>& entries, int exitCode, const std::wstring& switches);

// Writes the log when one was asked for, then ends the program at once with exitCode. A log that
// cannot be written changes nothing of the run: the log, with a line saying why, goes to
// FallbackLogPath instead.
void EndRun(int exitCode);
// "%TEMP%\TaUnInst removal.log".
std::wstring FallbackLogPath();

}  // namespace ta
